# Writes OUT, a C++ source that holds the files of the browser view as byte arrays
# (run as a script at build time, so it works for any target system):
#   cmake -DOUT=view_assets.cpp -DVIEW_DIR=postvtk/view -P embed_view.cmake
set(assets "kPage page.html" "kStyle view.css" "kScript view.js")
set(code "// Generated from postvtk/view/ by embed_view.cmake; do not edit.\n")
string(APPEND code "#include \"view_assets.hpp\"\n\nnamespace gw::postvtk::view {\n\nnamespace {\n")
set(views "")
foreach(asset IN LISTS assets)
  separate_arguments(parts UNIX_COMMAND "${asset}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  file(READ "${VIEW_DIR}/${file}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Forty bytes to a line.
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){40})" "\\1\n" bytes "${bytes}")
  string(APPEND code "const unsigned char ${name}Bytes[${size}] = {\n${bytes}\n};\n")
  string(APPEND views "const std::string_view ${name}(reinterpret_cast<const char*>(${name}Bytes), ${size});\n")
endforeach()
string(APPEND code "\n}  // namespace\n\n${views}\n}  // namespace gw::postvtk::view\n")
# Rewritten only when it changes, so that an unchanged view rebuilds nothing.
set(existing "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" existing)
endif()
if(NOT existing STREQUAL code)
  file(WRITE "${OUT}" "${code}")
endif()
