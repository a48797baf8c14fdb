// The extractor's series store: gathering kept steps (entries outside the mesh,
// D of zero, repeated entries), sizing, and the CSV header and row layouts with
// their trailing comma and the wrap after 200 items.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "series_store.hpp"

namespace gw::timehist {
namespace {

// A step of `nodes` nodes and `elements` elements with recognisable values.
Step stepOf(double time, std::int32_t nodes, std::int32_t elements) {
  Step st;
  st.time = time;
  for (std::int32_t n = 1; n <= nodes; ++n) {
    st.istat.push_back(0);
    st.h.push_back(100.0 * time + n);
    st.q.push_back(-n / 4.0);
  }
  for (std::int32_t e = 1; e <= elements; ++e) {
    st.dvx.push_back(e * 2.0);
    st.dvy.push_back(-e * 3.0);
    st.d.push_back(2.0);
  }
  return st;
}

std::string render(const SeriesStore& store, Series series, std::int32_t k) {
  TextOut out;
  store.writeSeries(out, series, k);
  out.flush();
  return out.captured();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    result.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return result;
}

TEST(SeriesStoreTest, HeadsOfTwoNodesOverTwoSteps) {
  PointLists lists;
  lists.h = {1, 25};
  SeriesStore store(Capacities{}, lists);
  Step first = stepOf(1.0, 25, 0);
  first.h[0] = 123.45;
  first.h[24] = -0.45;
  store.gather(1, first);
  store.gather(2, stepOf(2.0, 25, 0));
  EXPECT_EQ(render(store, Series::H, 2),
            ",       1,      25,\r\n"
            "   0.1000000E+01,   1.23450E+02,  -4.50000E-01,\r\n"
            "   0.2000000E+01,   2.01000E+02,   2.25000E+02,\r\n");
  // No kept step: the header alone.
  EXPECT_EQ(render(store, Series::H, 0), ",       1,      25,\r\n");
}

TEST(SeriesStoreTest, EntriesThatNameNoNodeOrElementShowZero) {
  PointLists lists;
  lists.h = {0, 3, 4, -2, 3};  // 4 is past NUMNP = 3; 3 twice gives two equal columns
  lists.va = {0, 2, 7};
  SeriesStore store(Capacities{}, lists);
  store.gather(1, stepOf(1.0, 3, 2));
  EXPECT_EQ(render(store, Series::H, 1),
            ",       0,       3,       4,      -2,       3,\r\n"
            "   0.1000000E+01,   0.00000E+00,   1.03000E+02,   0.00000E+00,   0.00000E+00,   1.03000E+02,\r\n");
  EXPECT_EQ(render(store, Series::VA, 1),
            ",       0,       0,       2,       2,       7,       7,\r\n"
            "   0.1000000E+01,   0.00000E+00,   0.00000E+00,   2.00000E+00,  -3.00000E+00,"
            "   0.00000E+00,   0.00000E+00,\r\n");
}

TEST(SeriesStoreTest, ElementComponentsAndVelocities) {
  PointLists lists;
  lists.vd = {12};
  lists.va = {1, 2};
  SeriesStore store(Capacities{}, lists);
  Step st = stepOf(86400.0, 0, 12);
  st.d[0] = 0.0;  // DVX 2, DVY -3 over a D of 0
  st.dvx[1] = 0.0;
  st.d[1] = 0.0;  // 0 over 0
  store.gather(1, st);
  EXPECT_EQ(render(store, Series::VD, 1),
            ",      12,      12,\r\n"
            "   0.8640000E+05,   2.40000E+01,  -3.60000E+01,\r\n");
  EXPECT_EQ(render(store, Series::VA, 1),
            ",       1,       1,       2,       2,\r\n"
            "   0.8640000E+05,      Infinity,     -Infinity,           NaN,     -Infinity,\r\n");
}

// With the VA list the VD list, the store keeps D and takes the quotients of
// the VD pairs as the file is written: the file is the one a store of the VA
// list alone writes, infinities and NaN included. Lists with an entry outside
// the mesh keep the quotients themselves.
TEST(SeriesStoreTest, VaFromTheVdPairsWritesTheSameFile) {
  const std::vector<EntryList> vaLists = {{1, 2, 3}, {3, 1, 3}, {1, 4}, {0, 2}};
  for (const EntryList& va : vaLists) {
    PointLists both, alone;
    both.vd = both.va = alone.va = va;
    SeriesStore withVd(Capacities{}, both), vaAlone(Capacities{}, alone);
    for (SeriesStore* store : {&withVd, &vaAlone}) {
      store->expectStepSizes(2, 3);
      for (std::int32_t j = 1; j <= 3; ++j) {
        Step step = stepOf(j, 2, 3);
        step.d[1] = j == 2 ? 0.0 : -0.5;  // DVX / 0 and DVY / 0 in step 2
        if (j == 3) step.dvx[0] = step.d[0] = 0.0;  // 0 / 0 in step 3
        store->gather(j, step);
      }
    }
    EXPECT_EQ(render(withVd, Series::VA, 3), render(vaAlone, Series::VA, 3)) << "VA list of " << va.size();
  }
}

TEST(SeriesStoreTest, RecordsOfMoreThan200ItemsGoOnOverFurtherLines) {
  PointLists lists;
  for (std::int32_t e = 1; e <= 101; ++e) lists.vd.push_back(e);
  lists.h.assign(200, 1);
  SeriesStore store(Capacities{}, lists);
  store.gather(1, stepOf(1.0, 1, 101));

  const std::vector<std::string> vd = lines(render(store, Series::VD, 1));
  ASSERT_EQ(vd.size(), 4u);
  EXPECT_EQ(vd[0].size(), 200u * 9);  // exactly 200 items: no trailing comma
  EXPECT_EQ(vd[0].substr(0, 18), ",       1,       1");
  EXPECT_EQ(vd[0].substr(vd[0].size() - 9), ",     100");
  EXPECT_EQ(vd[1], ",     101,     101,");
  EXPECT_EQ(vd[2].size(), 16u + 200 * 15);
  EXPECT_EQ(vd[2].substr(vd[2].size() - 30), ",   2.00000E+02,  -3.00000E+02");
  EXPECT_EQ(vd[3], ",   2.02000E+02,  -3.03000E+02,");

  // 200 values after the time fill one line; the header of 200 entries too.
  const std::vector<std::string> h = lines(render(store, Series::H, 1));
  ASSERT_EQ(h.size(), 2u);
  EXPECT_EQ(h[0].size(), 200u * 9);
  EXPECT_EQ(h[1].size(), 16u + 200 * 15);
  EXPECT_EQ(h[1].substr(h[1].size() - 15), ",   1.01000E+02");
}

TEST(SeriesStoreTest, SizedByCapacitiesOrByLargerCounts) {
  Capacities caps{3, 2, 1, 1, 1};
  PointLists lists;
  lists.h = {1, 2, 3, 4};  // more entries than MXH = 2
  SeriesStore store(caps, lists);
  EXPECT_EQ(store.stepCapacity(), 3);
  EXPECT_EQ(store.size(), 3u * (4 + 4 + 1 + 2 + 2));  // the time heads each table's rows
  for (std::int32_t j = 1; j <= 3; ++j) store.gather(j, stepOf(j, 4, 1));
  EXPECT_EQ(lines(render(store, Series::H, 3))[3],
            "   0.3000000E+01,   3.01000E+02,   3.02000E+02,   3.03000E+02,   3.04000E+02,");
  EXPECT_THROW(store.gather(4, stepOf(4, 4, 1)), std::logic_error);
}

TEST(SeriesStoreTest, NegativeCapacitiesHoldNothing) {
  Capacities caps{-5, -1, -1, -1, -1};
  PointLists lists;
  lists.q = {2};
  SeriesStore store(caps, lists);
  EXPECT_EQ(store.stepCapacity(), 0);
  EXPECT_EQ(store.size(), 0u);
  EXPECT_THROW(store.gather(1, stepOf(1, 2, 0)), std::logic_error);
  EXPECT_EQ(render(store, Series::Q, 5), ",       2,\r\n");
}

}  // namespace
}  // namespace gw::timehist
