#include "core/box_index.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::Fresh;

using Shape = std::function<Rect(std::mt19937&)>;

Rect Sized(std::mt19937& g, int64_t x, int64_t y, int32_t maxSide) {
  std::uniform_int_distribution<int32_t> side(1, maxSide);
  const int64_t x2 = std::min<int64_t>(x + side(g), INT32_MAX);
  const int64_t y2 = std::min<int64_t>(y + side(g), INT32_MAX);
  return {int32_t(x), int32_t(y), int32_t(x2), int32_t(y2)};
}

// Layouts that a uniform grid handles badly: a dense block far from a few
// outliers, clusters inside clusters, boxes spanning everything among tiny
// ones, heaps of one rectangle, and long rails over a field of contacts.
std::vector<std::pair<std::string, Shape>> Shapes() {
  auto in = [](std::mt19937& g, int64_t lo, int64_t hi) {
    return std::uniform_int_distribution<int64_t>(lo, hi)(g);
  };
  return {
      {"block far from outliers",
       [=](std::mt19937& g) {
         if (g() % 50 == 0) return Sized(g, in(g, -1000000000, -999999000), in(g, -1000000000, 0), 40);
         return Sized(g, in(g, 0, 1600), in(g, 0, 800), 4);
       }},
      {"nested clusters",
       [=](std::mt19937& g) {
         const int64_t scale = int64_t(1) << (4 * (g() % 7));
         return Sized(g, in(g, 0, scale), in(g, 0, scale), 3);
       }},
      {"huge among tiny",
       [=](std::mt19937& g) {
         if (g() % 10 == 0)
           return Rect{int32_t(in(g, -2000000000, 0)), int32_t(in(g, -2000000000, 0)),
                       int32_t(in(g, 0, 2000000000)), int32_t(in(g, 0, 2000000000))};
         return Sized(g, in(g, -500, 500), in(g, -500, 500), 2);
       }},
      {"heaps of one rectangle",
       [=](std::mt19937& g) { return g() % 3 ? Rect{5, 5, 9, 9} : Sized(g, in(g, 0, 20), in(g, 0, 20), 1); }},
      {"rails over contacts",
       [=](std::mt19937& g) {
         if (g() % 20 == 0) {
           const int32_t y = int32_t(in(g, 0, 10000));
           return Rect{0, y, 10000, y + 3};
         }
         return Sized(g, in(g, 0, 10000), in(g, 0, 10000), 4);
       }},
  };
}

// The index finds exactly the boxes a search of every box finds, over the
// whole table and over a range of it, for searches of every size.
TEST(BoxIndex, FindsWhatASearchOfEveryBoxFinds) {
  for (const auto& [name, shape] : Shapes()) {
    SCOPED_TRACE(name);
    Fresh f;
    std::mt19937 g(7);
    for (int i = 0; i < 3000; ++i) {
      const Rect r = shape(g);
      AddBox(f.layout, r.xmin, r.ymin, r.xmax, r.ymax, kMetal);
    }
    const int count = f.layout.boxes.Count();
    for (const auto& [first, last] : {std::pair(1, count), std::pair(count / 3, count / 2)}) {
      const BoxIndex index(f.layout, first, last);
      for (int i = 1; i <= count; i += 7) {
        const Rect r = RectOf(f.layout.boxes[i]);
        ASSERT_EQ(index.Touching(r), TouchingPlain(f.layout, first, last, r)) << i;
      }
      for (int k = 0; k < 200; ++k) {
        const Rect r = shape(g);
        ASSERT_EQ(index.Touching(r), TouchingPlain(f.layout, first, last, r)) << k;
      }
    }
  }
}

}  // namespace
}  // namespace tarnisk
