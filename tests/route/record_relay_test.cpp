// A consumer behind the relay gets every call the router makes, in the same order, with the same
// records; a consumer that fails stops the reading with its failure, and nothing waits forever.
#include "route/record_relay.h"

#include <gtest/gtest.h>

#include <new>

#include "route/block_framer.h"
#include "tests/route/record_trace.h"

namespace {

// Every call of the routing of `log` to `consumer`.
void route_log(std::vector<uint8_t> log, RecordConsumer& consumer) {
    PacketRouter router(consumer);
    BlockFramer framer(router);
    framer.feed(log.data(), log.size());
    framer.finish();
}

std::vector<std::string> relayed_calls(const std::vector<uint8_t>& log, unsigned interest) {
    RecordTrace trace(interest);
    RecordRelay relay(trace);
    route_log(log, relay);
    relay.finish();
    return trace.calls;
}

std::vector<std::string> direct_calls(const std::vector<uint8_t>& log, unsigned interest) {
    RecordTrace trace(interest);
    route_log(log, trace);
    return trace.calls;
}

// The sample holds every kind of record the router hands on: observations, the three kinds of
// ephemerides, iono and leap-second records, base stations, sensor, filter and command packets;
// the damaged log adds checksum failures.
TEST(RecordRelay, HandsOnEveryCallAsTheRouterMadeIt) {
    for (const char* path : {"samples/sample.vxp", "tests/replay/damaged/damaged.vxp",
                             "tests/replay/legacy_three_receivers/legacy_three_receivers.vxp"}) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> log = corpus_log(path);
        const std::vector<std::string> direct = direct_calls(log, kRouteEverything);
        ASSERT_GT(direct.size(), 1000u);
        EXPECT_EQ(relayed_calls(log, kRouteEverything), direct);
    }
}

// A relay hands on only the calls of the families its target's interest names, and the
// observations of the receivers it takes.
class OneReceiverTrace : public RecordTrace {
  public:
    using RecordTrace::RecordTrace;
    bool takes_receiver(int receiver) const override { return receiver == 2; }
};

TEST(RecordRelay, HandsOnOnlyWhatItsTargetTakes) {
    const std::vector<uint8_t> log = corpus_log("samples/sample.vxp");
    const auto kept = [](const std::vector<std::string>& calls, const std::vector<std::string>& prefixes) {
        std::vector<std::string> left;
        for (const std::string& call : calls) {
            for (const std::string& prefix : prefixes) {
                if (call.starts_with(prefix)) {
                    left.push_back(call);
                    break;
                }
            }
        }
        return left;
    };
    const std::vector<std::string> navigation = {"gps_ephemeris", "galileo_ephemeris", "glonass_ephemeris",
                                                 "gps_iono",      "galileo_iono",      "leap_seconds",
                                                 "base_station",  "checksum_error"};
    const struct {
        unsigned interest;
        std::vector<std::string> calls;
    } cases[] = {
        {0, {}},
        {kRouteObservations, {"epoch", "observation"}},
        {kRouteSensorPackets, {"sensor"}},
        {kRouteGoodPackets | kRoutePacketBytes, {"good_packet"}},
        {kRouteFilterRecords | kRouteGnssTimedRecords | kRouteCommandPackets, {"filter", "gnss", "command"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.interest);
        std::vector<std::string> prefixes = navigation;
        prefixes.insert(prefixes.end(), c.calls.begin(), c.calls.end());
        const std::vector<std::string> relayed = relayed_calls(log, c.interest);
        EXPECT_EQ(relayed, kept(direct_calls(log, c.interest), prefixes));
        EXPECT_GT(relayed.size(), 10u);
    }
    // Good packets without their bytes unless asked for.
    RecordTrace counts(kRouteGoodPackets);
    RecordRelay relay(counts);
    relay.good_packet(0x80, log.data(), 10, 0);
    relay.finish();
    EXPECT_EQ(counts.calls, std::vector<std::string>{"good_packet 128 10 0-"});
    // The observations of the receivers taken, no others.
    OneReceiverTrace receiver2(kRouteObservations);
    RecordRelay to_receiver2(receiver2);
    route_log(log, to_receiver2);
    to_receiver2.finish();
    std::vector<std::string> expected;
    for (const std::string& call : kept(direct_calls(log, kRouteObservations), {"epoch2", "observation2"}))
        expected.push_back(call);
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(kept(receiver2.calls, {"epoch", "observation"}), expected);
}

// Fails with out of memory at its n-th observation.
class FailingConsumer : public RecordConsumer {
  public:
    explicit FailingConsumer(int n) : left_(n) {}
    void observation(int, const RawObservation&, bool) override {
        if (--left_ == 0)
            throw std::bad_alloc();
    }

  private:
    int left_;
};

TEST(RecordRelay, TargetFailureEndsTheReading) {
    const std::vector<uint8_t> log = corpus_log("samples/sample.vxp");
    // Early: the reading itself stops with the failure once the relay runs out of free batches.
    {
        FailingConsumer failing(1);
        RecordRelay relay(failing);
        EXPECT_THROW(
            {
                for (int pass = 0; pass < 20; ++pass)
                    route_log(log, relay);
                relay.finish();
            },
            std::bad_alloc);
    }
    // At the last observation: finish() reports it.
    int observations = 0;
    for (const std::string& call : direct_calls(log, kRouteEverything))
        observations += call.rfind("epoch", 0) == 0 || call.rfind("observation", 0) == 0;
    FailingConsumer failing(observations);
    RecordRelay relay(failing);
    route_log(log, relay);
    EXPECT_THROW(relay.finish(), std::bad_alloc);
}

TEST(RecordRelay, DroppedWithoutFinishDoesNotWait) {
    const std::vector<uint8_t> log = corpus_log("samples/sample.vxp");
    RecordTrace trace;
    {
        RecordRelay relay(trace);
        route_log(log, relay);
    }  // the worker is stopped and joined here
    EXPECT_LT(trace.calls.size(), direct_calls(log, kRouteEverything).size() + 1);
}

}  // namespace
