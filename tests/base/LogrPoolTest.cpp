#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "base/CoreAnsx.h"
#include "base/CoreLogr.h"
#include "base/CorePool.h"
#include "support/TempDir.h"

namespace {

// Points the process log at a temporary folder for one test and puts it back afterwards.
class LogScope {
 public:
  explicit LogScope(int16_t level) : saved_(CoreLogr::level()), savedFolder_(CoreLogr::folder()) {
    CoreLogr::setFolder(CoreStrg(dir_.folder().c_str()));
    CoreLogr::setLevel(level);
  }
  ~LogScope() {
    CoreLogr::setLevel(saved_);
    CoreLogr::setFolder(savedFolder_);
  }
  std::string text() const { return dir_.read("Ostrel3.log"); }

 private:
  TempDir dir_;
  int16_t saved_;
  CoreStrg savedFolder_;
};

}  // namespace

TEST(LogrTest, LevelFiltersAndLineLayout) {
  {
    LogScope log(0);
    CoreLogr::trace(CoreStrg("hidden"), 0, 1);
    CoreLogr::error(CoreStrg("hidden"), 1);
    EXPECT_EQ(log.text(), "");  // a default installation writes no log
  }
  LogScope log(3);
  CoreLogr::trace(CoreStrg("ab"), 2, 3);
  CoreLogr::trace(CoreStrg("too detailed"), 0, 4);
  CoreLogr::error(CoreStrg("broken"), 1);
  CoreLogr::tagError(CoreStrg("MIX1"));
  CoreLogr::fileError(CoreStrg("a.wav"), 2);
  const std::string prefix = std::to_string(getpid()) + "-";
  const std::string text = log.text();
  std::vector<std::string> lines;
  for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(text.substr(at, nl - at));
  ASSERT_EQ(lines.size(), 4u);
  auto body = [&](const std::string& line) {
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    return line.substr(line.find(' ') + 1);
  };
  EXPECT_EQ(body(lines[0]), ">--ab<");
  EXPECT_EQ(body(lines[1]), "***ERROR***> broken");
  EXPECT_EQ(body(lines[2]), "***ERROR***>Error in tag MIX1");
  EXPECT_EQ(body(lines[3]), "***ERROR***>Error in file a.wav");
}

TEST(LogrTest, UnwritableFolderDropsLines) {
  LogScope log(7);
  CoreLogr::setFolder(CoreStrg("/nonexistent-folder-for-ostrel/"));
  CoreLogr::trace(CoreStrg("lost"), 0, 1);  // must not crash or throw
  SUCCEED();
}

TEST(PoolTest, LedgerCountsAndAlignment) {
  CorePool pool;
  void* a = pool.allocate(CorePool::kReal64, 1000, "PRCS");
  EXPECT_EQ(pool.allocated(), 8024);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
  void* b = pool.allocate(9, 123, "ODD");  // unknown type: only the slack
  EXPECT_EQ(pool.allocated(), 8024 + 24);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 16, 0u);
  EXPECT_EQ(pool.largestRequest(), 8024);
  ASSERT_EQ(pool.blockCount(), 2);
  EXPECT_STREQ(pool.blocks()[0].tag, "PRCS");
  EXPECT_EQ(pool.blocks()[0].bytes, 8024);

  const struct {
    int16_t type;
    int32_t size;
  } sizes[] = {{0, 8}, {1, 4}, {2, 4}, {3, 4}, {4, 1}, {5, 1}, {6, 2}, {7, 0}, {-1, 0}};
  for (const auto& s : sizes) EXPECT_EQ(CorePool::elementSize(s.type), s.size) << s.type;

  // The whole block is usable: write every byte of it.
  auto* bytes = static_cast<unsigned char*>(pool.allocate(CorePool::kByte, 4096, "WAVE"));
  for (int i = 0; i < 4096; ++i) bytes[i] = static_cast<unsigned char>(i);
  pool.release(bytes);

  pool.release(a);
  EXPECT_EQ(pool.allocated(), 24);
  EXPECT_EQ(pool.peak(), 8024 + 24 + 4096 + 24);
  pool.release(b);
  EXPECT_EQ(pool.allocated(), 0);
  EXPECT_EQ(pool.blockCount(), 0);
}

TEST(PoolTest, UnknownReleasesAreRefusedAndLogged) {
  LogScope log(1);
  CorePool pool;
  void* a = pool.allocate(CorePool::kReal64, 10, "PRCS");
  pool.allocate(CorePool::kReal64, 10, "KEEP");
  pool.release(a);
  pool.release(a);  // second release frees nothing
  pool.release(nullptr);
  int local = 0;
  pool.release(&local);
  EXPECT_EQ(pool.blockCount(), 1);
  EXPECT_EQ(pool.allocated(), 104);
  const std::string text = log.text();
  size_t count = 0;
  for (size_t at = 0; (at = text.find("memory release error (left 1)", at)) != std::string::npos; ++at) ++count;
  EXPECT_EQ(count, 3u);
}

TEST(PoolTest, DestructionFreesEverythingNewestFirst) {
  LogScope log(2);
  {
    CorePool pool;
    pool.allocate(CorePool::kReal64, 1, "ONE");
    pool.allocate(CorePool::kReal64, 2, "TWO");
    pool.allocate(CorePool::kReal64, 3, "THREE");
  }  // LeakSanitizer reports anything left behind
  const std::string text = log.text();
  EXPECT_NE(text.find("pool locations left: 3"), std::string::npos);
  EXPECT_NE(text.find("left memory block: 0 ONE 1 "), std::string::npos);
  EXPECT_NE(text.find("left memory block: 0 THREE 3 "), std::string::npos);
}

TEST(PoolTest, RefusesRequestsThatDoNotFit) {
  LogScope log(1);
  CorePool pool;
  EXPECT_THROW(pool.allocate(CorePool::kReal64, -5, "NEG"), CoreAnsx);
  EXPECT_THROW(pool.allocate(CorePool::kReal64, 0x7FFFFFFF, "HUGE"), CoreAnsx);
  EXPECT_EQ(pool.blockCount(), 0);
  EXPECT_EQ(pool.allocated(), 0);
  EXPECT_NE(log.text().find("Memory request failed "), std::string::npos);
}

TEST(PoolTest, SeveralThreadsShareOnePool) {
  CorePool pool;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&pool] {
      for (int i = 0; i < 200; ++i) {
        void* p = pool.allocate(CorePool::kReal64, 64 + i, "THRD");
        static_cast<double*>(p)[0] = 1.0;
        pool.release(p);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(pool.allocated(), 0);
  EXPECT_EQ(pool.blockCount(), 0);
}
