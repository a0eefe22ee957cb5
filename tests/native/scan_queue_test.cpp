// The hand-over queue between the scan worker and the window.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CleanReg/ScanQueue.h"

namespace morvane {
namespace {

Finding Numbered(int i) { return Finding{"c", std::to_string(i), "HKCU", "\\k", ""}; }

// In order, a slice at a time; the window is woken once per batch, only when it has taken all.
TEST(ScanQueue, KeepsOrderAndWakesOnlyWhenDrained) {
  int wakes = 0;
  ScanQueue queue([&] { ++wakes; });
  queue.Status("one");
  for (int i = 0; i < 4; ++i) queue.Found(Numbered(i));
  EXPECT_EQ(wakes, 1);
  bool more = false;
  std::vector<ScanMessage> got = queue.Take(2, more);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].kind, ScanMessage::Kind::Status);
  EXPECT_EQ(got[0].text, "one");
  EXPECT_EQ(got[1].kind, ScanMessage::Kind::Finding);
  EXPECT_EQ(got[1].finding.parameter, "0");
  EXPECT_TRUE(more);
  queue.End();  // messages still wait: the taker is coming back anyway
  EXPECT_EQ(wakes, 1);
  got = queue.Take(10, more);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[2].finding.parameter, "3");
  EXPECT_EQ(got[3].kind, ScanMessage::Kind::End);
  EXPECT_FALSE(more);
  EXPECT_TRUE(queue.TakeAll().empty());
  queue.Status("two");
  EXPECT_EQ(wakes, 2);
  EXPECT_EQ(queue.TakeAll().size(), 1u);
  queue.Detach();  // a detached queue drops everything
  queue.Status("late");
  EXPECT_TRUE(queue.TakeAll().empty());
  EXPECT_EQ(wakes, 2);
}

TEST(ScanQueue, ConcurrentProducerAndConsumerLoseNothing) {
  ScanQueue queue([] {});
  constexpr int kCount = 20000;
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i) queue.Found(Numbered(i));
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
}

// The worker waits while the window has maxPending messages still to take, and a detach lets a
// waiting push go, so neither memory nor the window's close waits on the registry's size.
TEST(ScanQueue, ProducerWaitsWhileTheQueueIsFullAndDetachReleasesIt) {
  ScanQueue queue([] {}, 8);
  std::atomic<std::size_t> pushed{0};
  std::thread producer([&] {
    for (int i = 0; i < 100; ++i, ++pushed) queue.Found(Numbered(i));
  });
  std::vector<ScanMessage> got;
  while (got.size() < 40) {
    EXPECT_LE(queue.Pending(), 8u);
    bool more = false;
    for (ScanMessage& m : queue.Take(3, more)) got.push_back(std::move(m));
  }
  for (std::size_t i = 0; i < got.size(); ++i)
    ASSERT_EQ(got[i].finding.parameter, std::to_string(i));
  // Nobody takes any more: the producer fills the queue and stops there.
  while (pushed < got.size() + 8) std::this_thread::yield();
  EXPECT_EQ(queue.Pending(), 8u);
  queue.Detach();
  producer.join();
  EXPECT_EQ(pushed.load(), 100u);
  EXPECT_TRUE(queue.TakeAll().empty());
}

}  // namespace
}  // namespace morvane
