! Reference writer for the edit-descriptor comparison: reads cases from a stream
! file made by the C++ driver and writes each case with the compiler's own
! formatted output, one '@@' line before every case.
!
! Case layout (native byte order, no padding):
!   int32 item count, int32 list length, the list text,
!   then per item an int32 kind (1 integer, 2 real(4), 3 real(8), 4 text)
!   followed by int64, real(4), real(8), or int32 length and the characters.
! A case with item count -1 ends the file.
program reference_writer
  implicit none
  integer, parameter :: max_items = 8192, max_text = 256, max_list = 4096
  integer(8) :: iv(max_items)
  real(4) :: sv(max_items)
  real(8) :: dv(max_items)
  character(len=max_text) :: tv(max_items)
  integer :: tl(max_items), ilast(max_items), slast(max_items), dlast(max_items), tlast(max_items)
  character(len=max_list) :: list
  character(len=1024) :: in_name, out_name
  integer :: n, list_len, kind, k, j, in_unit, out_unit, ios

  if (command_argument_count() /= 2) then
    write(*, '(A)') 'usage: reference_writer CASES OUTPUT'
    stop 2
  end if
  call get_command_argument(1, in_name)
  call get_command_argument(2, out_name)
  open(newunit=in_unit, file=trim(in_name), access='stream', form='unformatted', &
       status='old', action='read')
  open(newunit=out_unit, file=trim(out_name), form='formatted', status='replace', &
       action='write', recl=1000000)

  do
    read(in_unit, iostat=ios) n
    if (ios /= 0) then
      write(*, '(A)') 'reference_writer: case file ends without its end mark'
      stop 3
    end if
    if (n < 0) exit
    read(in_unit) list_len
    if (n > max_items .or. list_len > max_list .or. list_len < 1) then
      write(*, '(A,I0,A,I0)') 'reference_writer: case too large: items ', n, ', list ', list_len
      stop 3
    end if
    read(in_unit) list(1:list_len)
    do k = 1, n
      read(in_unit) kind
      ! Every item gets its own one-element loop in the output list below; the
      ! loops of the other three kinds are empty for it.
      ilast(k) = k - 1
      slast(k) = k - 1
      dlast(k) = k - 1
      tlast(k) = k - 1
      select case (kind)
      case (1)
        read(in_unit) iv(k)
        ilast(k) = k
      case (2)
        read(in_unit) sv(k)
        slast(k) = k
      case (3)
        read(in_unit) dv(k)
        dlast(k) = k
      case (4)
        read(in_unit) tl(k)
        if (tl(k) < 0 .or. tl(k) > max_text) then
          write(*, '(A,I0)') 'reference_writer: text item too long: ', tl(k)
          stop 3
        end if
        if (tl(k) > 0) read(in_unit) tv(k)(1:tl(k))
        tlast(k) = k
      case default
        write(*, '(A,I0)') 'reference_writer: unknown item kind ', kind
        stop 3
      end select
    end do
    write(out_unit, '(A)') '@@'
    write(out_unit, list(1:list_len)) ((iv(j), j = k, ilast(k)), (sv(j), j = k, slast(k)), &
                                       (dv(j), j = k, dlast(k)), (tv(j)(1:tl(j)), j = k, tlast(k)), &
                                       k = 1, n)
  end do
  close(out_unit)
  close(in_unit)
end program reference_writer
