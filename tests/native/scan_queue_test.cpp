// The hand-over queue between the scan worker and the window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "CleanReg/ScanQueue.h"

namespace morvane {
namespace {

TEST(ScanQueue, KeepsOrderAndWakesOncePerBatch) {
  int wakes = 0;
  ScanQueue queue([&] { ++wakes; });
  queue.Status("one");
  queue.Found(Finding{"c", "p", "HKCU", "\\k", "v"});
  queue.End();
  EXPECT_EQ(wakes, 1);
  std::vector<ScanMessage> got = queue.TakeAll();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].kind, ScanMessage::Kind::Status);
  EXPECT_EQ(got[0].text, "one");
  EXPECT_EQ(got[1].kind, ScanMessage::Kind::Finding);
  EXPECT_EQ(got[1].finding.valueName, "v");
  EXPECT_EQ(got[2].kind, ScanMessage::Kind::End);
  EXPECT_TRUE(queue.TakeAll().empty());
  queue.Status("two");
  EXPECT_EQ(wakes, 2);
}

TEST(ScanQueue, TakesASliceAtATimeInOrderAndWakesOnlyWhenDrained) {
  int wakes = 0;
  ScanQueue queue([&] { ++wakes; });
  for (int i = 0; i < 5; ++i) queue.Found(Finding{"c", std::to_string(i), "HKCU", "\\k", ""});
  EXPECT_EQ(wakes, 1);
  bool more = false;
  std::vector<ScanMessage> first = queue.Take(2, more);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].finding.parameter, "0");
  EXPECT_EQ(first[1].finding.parameter, "1");
  EXPECT_TRUE(more);
  // Messages are still waiting: a push wakes nobody, the taker is coming back anyway.
  queue.End();
  EXPECT_EQ(wakes, 1);
  std::vector<ScanMessage> rest = queue.Take(10, more);
  ASSERT_EQ(rest.size(), 4u);
  EXPECT_EQ(rest[0].finding.parameter, "2");
  EXPECT_EQ(rest[2].finding.parameter, "4");
  EXPECT_EQ(rest[3].kind, ScanMessage::Kind::End);
  EXPECT_FALSE(more);
  EXPECT_TRUE(queue.Take(10, more).empty());
  EXPECT_FALSE(more);
  queue.Status("next");
  EXPECT_EQ(wakes, 2);
}

TEST(ScanQueue, DetachedQueueDropsEverything) {
  int wakes = 0;
  ScanQueue queue([&] { ++wakes; });
  queue.Status("pending");
  queue.Detach();
  queue.Status("late");
  queue.End();
  EXPECT_TRUE(queue.TakeAll().empty());
  EXPECT_EQ(wakes, 1);
}

TEST(ScanQueue, ConcurrentProducerAndConsumerLoseNothing) {
  std::atomic<int> wakes{0};
  ScanQueue queue([&] { ++wakes; });
  constexpr int kCount = 20000;
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i)
      queue.Found(Finding{"c", std::to_string(i), "HKCU", "\\k", ""});
    queue.End();
  });
  std::vector<ScanMessage> all;
  while (all.empty() || all.back().kind != ScanMessage::Kind::End) {
    bool more = false;
    for (ScanMessage& m : all.size() % 2 ? queue.TakeAll() : queue.Take(97, more))
      all.push_back(std::move(m));
    std::this_thread::yield();
  }
  producer.join();
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kCount + 1));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(all[i].finding.parameter, std::to_string(i));
  EXPECT_GE(wakes.load(), 1);
}

// The worker waits while the window has maxPending messages still to take, and a detach lets a
// waiting push go, so neither memory nor the window's close waits on the registry's size.
TEST(ScanQueue, ProducerWaitsWhileTheQueueIsFullAndDetachReleasesIt) {
  ScanQueue queue([] {}, 8);
  std::atomic<int> pushed{0};
  std::thread producer([&] {
    for (int i = 0; i < 100; ++i, ++pushed)
      queue.Found(Finding{"c", std::to_string(i), "HKCU", "\\k", ""});
  });
  std::vector<ScanMessage> got;
  while (got.size() < 40) {
    EXPECT_LE(queue.Pending(), 8u);
    bool more = false;
    for (ScanMessage& m : queue.Take(3, more)) got.push_back(std::move(m));
    std::this_thread::yield();
  }
  for (std::size_t i = 0; i < got.size(); ++i)
    ASSERT_EQ(got[i].finding.parameter, std::to_string(i));
  // Nobody takes any more: the producer stops at the bound instead of running on.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(queue.Pending(), 8u);
  EXPECT_LT(pushed.load(), 100);
  queue.Detach();
  producer.join();
  EXPECT_EQ(pushed.load(), 100);
  EXPECT_TRUE(queue.TakeAll().empty());
}

}  // namespace
}  // namespace morvane
