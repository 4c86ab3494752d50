#include "common/diagnostics/event_log_collection.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace tavo {
namespace {

constexpr wchar_t kProvider[] = L"Microsoft-Windows-AppXDeploymentServer";

// One read of a query: an event, or the status that Next answers instead.
struct FakeRead {
  uint32_t status = 0;
  uint32_t eventId = 0;
  uint32_t level = 2;
  std::wstring message;
  std::vector<EventProperty> properties;  // set: replaces the ones built from the fields
  uint32_t propertyBytes = 512;
};

FakeRead Status(uint32_t status) {
  FakeRead read;
  read.status = status;
  return read;
}
FakeRead Ev(uint32_t id, uint32_t level = 2, std::wstring message = L"") {
  FakeRead read;
  read.eventId = id;
  read.level = level;
  read.message = std::move(message);
  return read;
}
const FakeRead kTimeout = Status(ERROR_TIMEOUT);

LogEvent Logged(uint32_t id, const wchar_t* level = L"error", const wchar_t* message = L"") {
  LogEvent event;
  event.eventId = id;
  event.level = level;
  event.provider = kProvider;
  event.channel = L"c";
  event.message = message;
  return event;
}

class FakeQuery final : public EventQuery {
 public:
  FakeQuery(std::vector<FakeRead> reads, std::wstring channel) : reads_(std::move(reads)), channel_(std::move(channel)) {}
  uint32_t CreateRenderContext() override { return 0; }
  uint32_t Next(uint32_t) override {
    if (next_ >= reads_.size()) return ERROR_NO_MORE_ITEMS;
    current_ = &reads_[next_++];
    return current_->status;
  }
  uint32_t RenderSystem(uint32_t bytes, std::vector<EventProperty>& properties, uint32_t& needed) override {
    needed = current_->propertyBytes;
    if (bytes < needed) return ERROR_INSUFFICIENT_BUFFER;
    properties = current_->properties;
    if (properties.empty()) {
      properties.resize(EvtSystemPropertyIdEND);
      properties[EvtSystemProviderName] = {EvtVarTypeString, 0, kProvider};
      properties[EvtSystemEventID] = {EvtVarTypeUInt16, current_->eventId, L""};
      properties[EvtSystemLevel] = {EvtVarTypeByte, current_->level, L""};
      properties[EvtSystemChannel] = {EvtVarTypeString, 0, channel_};
    }
    return 0;
  }
  uint32_t OpenPublisher(const std::wstring& provider) override {
    return current_->message == L"(no metadata)" || provider != kProvider ? ERROR_EVT_PUBLISHER_METADATA_NOT_FOUND : 0;
  }
  uint32_t Format(uint32_t chars, std::wstring& message, uint32_t& needed) override {
    needed = static_cast<uint32_t>(current_->message.size() + 1);
    if (chars < needed) return ERROR_INSUFFICIENT_BUFFER;
    message = current_->message;
    return 0;
  }

 private:
  std::vector<FakeRead> reads_;
  std::wstring channel_;
  size_t next_ = 0;
  const FakeRead* current_ = nullptr;
};

// Query n of a channel reads queries[channel][n]; Sleep only records its wait.
class FakeEventLog final : public EventLogPlatform {
 public:
  std::map<std::wstring, std::vector<std::vector<FakeRead>>> queries;
  std::vector<uint32_t> sleeps;

  std::unique_ptr<EventQuery> Query(const std::wstring& channel, const std::wstring&, uint32_t& error) override {
    error = 0;
    auto& list = queries[channel];
    std::vector<FakeRead> reads;
    if (!list.empty()) {
      reads = list.front();
      list.erase(list.begin());
    }
    return std::make_unique<FakeQuery>(std::move(reads), channel);
  }
  void Sleep(uint32_t ms) override { sleeps.push_back(ms); }
  uint64_t NowMs() override { return 0; }
};

std::vector<uint32_t> Ids(const std::vector<LogEvent>& events) {
  std::vector<uint32_t> ids;
  for (const LogEvent& e : events) ids.push_back(e.eventId);
  return ids;
}

ChannelResult Walk(std::vector<std::vector<FakeRead>> queries) {
  FakeEventLog log;
  log.queries[kAppxDeploymentChannel] = std::move(queries);
  return QueryChannel(log, kAppxDeploymentChannel, L"{A}");
}

// Ids 1.. are errors, 101.. warnings, 201.. information events, each list newest first.
std::vector<FakeRead> Reads(uint32_t errors, uint32_t warnings, uint32_t informations) {
  std::vector<FakeRead> reads;
  for (uint32_t i = 1; i <= errors; ++i) reads.push_back(Ev(i, 2));
  for (uint32_t i = 1; i <= warnings; ++i) reads.push_back(Ev(100 + i, 3));
  for (uint32_t i = 1; i <= informations; ++i) reads.push_back(Ev(200 + i, 4));
  return reads;
}

TEST(EventLogSelection, KeepsNewestAndOldestOfTheMostSevereList) {
  struct Case {
    const char* name;
    std::vector<FakeRead> reads;
    std::vector<uint32_t> kept;
  } cases[] = {
      {"10 errors and 3 warnings", Reads(10, 3, 0), {1, 2, 9, 10}},
      {"1 error and 5 warnings", Reads(1, 5, 0), {1, 101, 104, 105}},
      {"6 information events", Reads(0, 0, 6), {201, 202}},
      {"errors before information", Reads(2, 0, 3), {1, 2}},
      {"levels 0 and 6 are counted only", {Ev(7, 0), Ev(8, 6)}, {}},
  };
  for (const Case& c : cases) {
    ChannelResult result = Walk({c.reads});
    EXPECT_EQ(Ids(result.kept), c.kept) << c.name;
    EXPECT_EQ(result.scanned, c.reads.size()) << c.name;
    EXPECT_EQ(result.attempts, 1u) << c.name;
  }
}

TEST(EventLogSelection, TakeAndMergeKeepBothEndsAndDropDuplicates) {
  const std::vector<LogEvent> five = {Logged(1), Logged(2), Logged(3), Logged(4), Logged(5)};
  EXPECT_EQ(Ids(Take(five, 1)), (std::vector<uint32_t>{1}));
  EXPECT_EQ(Ids(Take(five, 3)), (std::vector<uint32_t>{1, 4, 5}));
  EXPECT_EQ(Ids(Take(five, 5)), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  const LogEvent error = Logged(1, L"error", L"m");
  const LogEvent otherMessage = Logged(1, L"error", L"n");
  const LogEvent warning = Logged(2, L"warning");
  EXPECT_EQ(Merge({error, warning}, {warning, otherMessage, error}).size(), 3u);
  EXPECT_EQ(Ids(Merge({warning}, {error})), (std::vector<uint32_t>{1, 2}));  // sorted again: severe first
}

TEST(EventLogQuery, FirstAttemptTimingOutIsRetriedOnceAfter150Ms) {
  FakeEventLog log;
  log.queries[kAppxDeploymentChannel] = {{Ev(1), kTimeout, kTimeout, Ev(9)}, {Ev(1), Ev(2), kTimeout, kTimeout}};
  ChannelResult result = QueryChannel(log, kAppxDeploymentChannel, L"{A}");
  EXPECT_EQ(result.attempts, 2u);
  EXPECT_EQ(log.sleeps, (std::vector<uint32_t>{150}));
  EXPECT_EQ(result.scanned, 3u);
  EXPECT_EQ(result.error, static_cast<uint32_t>(ERROR_TIMEOUT)) << "the second attempt's error";
  EXPECT_EQ(Ids(result.kept), (std::vector<uint32_t>{1, 2})) << "events found twice appear once";

  // One time-out alone does not end the walk; other failures are not retried.
  EXPECT_EQ(Walk({{Ev(1), kTimeout, Ev(2)}}).scanned, 2u);
  ChannelResult failed = Walk({{Ev(1), Status(ERROR_INVALID_HANDLE)}});
  EXPECT_EQ(std::make_tuple(failed.error, failed.attempts, failed.scanned),
            std::make_tuple(static_cast<uint32_t>(ERROR_INVALID_HANDLE), 1u, 1u));
  EXPECT_EQ(Walk({std::vector<FakeRead>(70, Ev(3, 4))}).scanned, 64u) << "at most 64 reads";
}

TEST(EventLogQuery, PropertyAndMessageRules) {
  FakeRead large = Ev(1);
  large.propertyBytes = 65537;
  FakeRead wrongTypes = Ev(2);
  wrongTypes.properties.resize(EvtSystemPropertyIdEND);
  wrongTypes.properties[EvtSystemEventID] = {EvtVarTypeUInt32, 2, L""};
  wrongTypes.properties[EvtSystemLevel] = {EvtVarTypeByte, 3, L""};
  std::wstring longText(2047, L'x');
  longText += L"\xD83D\xDE00tail";
  ChannelResult result = Walk({{large, wrongTypes, Ev(3, 2, L"(no metadata)"), Ev(4, 2, std::wstring(16384, L'y')),
                                Ev(5, 2, longText)}});
  EXPECT_EQ(result.error, static_cast<uint32_t>(ERROR_MORE_DATA)) << "the oversized event is skipped";
  EXPECT_EQ(result.scanned, 5u);
  ASSERT_EQ(Ids(result.kept), (std::vector<uint32_t>{3, 4, 5, 0}));  // the three errors, then the warning
  const LogEvent& untyped = result.kept[3];
  EXPECT_EQ(std::make_tuple(untyped.level, untyped.provider, untyped.channel, untyped.formatError),
            std::make_tuple(std::wstring(L"warning"), std::wstring(), std::wstring(kAppxDeploymentChannel),
                            static_cast<int32_t>(ERROR_NOT_FOUND)));
  EXPECT_EQ(result.kept[0].formatError, ERROR_EVT_PUBLISHER_METADATA_NOT_FOUND);
  EXPECT_EQ(result.kept[0].message, L"");
  EXPECT_EQ(result.kept[1].formatError, ERROR_INSUFFICIENT_BUFFER) << "a message above 16384 characters";
  EXPECT_EQ(result.kept[2].message, std::wstring(2047, L'x')) << "cut before the high surrogate";
}

TEST(EventLogQuery, EventsExactlyAtTheLimitsAreRead) {
  FakeRead largest = Ev(1);
  largest.propertyBytes = 65536;
  // 16383 characters and the terminating NUL fill the 16384-character buffer.
  ChannelResult result = Walk({{largest, Ev(2, 2, std::wstring(16383, L'y')), Ev(3, 2, std::wstring(2048, L'x'))}});
  EXPECT_EQ(result.error, 0u);
  ASSERT_EQ(Ids(result.kept), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(result.kept[1].formatError, 0);
  EXPECT_EQ(result.kept[1].message, std::wstring(2048, L'y')) << "formatted, then kept to 2048 units";
  EXPECT_EQ(result.kept[2].message, std::wstring(2048, L'x')) << "2048 units are kept whole";
  ChannelResult full = Walk({std::vector<FakeRead>(64, Ev(3, 4))});
  EXPECT_EQ(std::make_tuple(full.scanned, full.error), std::make_tuple(64u, 0u)) << "64 reads, none left over";
}

}  // namespace
}  // namespace tavo
