// Fuzz target: frames against the patch list. A small map and wiring options made from the input; every
// node's channels set to values of its own; each set channel must lie where the patch list puts it
// (its universe and channel, on into the next universe when it crosses) and nothing else may be set.
// The test patterns and a dry-run sender then run over the frame.

#include <FrameCheck.h>
#include <TestSupport.h>

#include <LumoOutputSender.h>
#include <LumoTestPattern.h>

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    LumoMapModel map;
    const LumoWiringOptions options = FrameCheck::buildMap(
        map, [&](int least, int most) { return input.ConsumeIntegralInRange<int>(least, most); });
    const LumoWiring wiring(map, options);
    LumoFrame frame(wiring);
    const QString difference =
        FrameCheck::difference(wiring, frame, [](int node, int channel) { return quint8(node * 31 + channel + 1); });
    TestSupport::require(difference.isEmpty(), "the frame differs from the patch list", difference);

    LumoTestPattern pattern;
    pattern.setKind(LumoTestPattern::Kind(input.ConsumeIntegralInRange<int>(0, 6)));
    pattern.setNode(input.ConsumeIntegralInRange<int>(1, 5));
    pattern.setPort(input.ConsumeIntegralInRange<int>(0, 3));
    const int step = input.ConsumeIntegral<int>();
    pattern.apply(frame, step);
    TestSupport::require(!pattern.describe(frame, step).isEmpty(), "a pattern step without a description");

    LumoOutputOptions output;
    output.setProtocol(input.ConsumeBool() ? LumoOutputOptions::Sacn : LumoOutputOptions::ArtNet);
    output.setDryRun(true);
    LumoOutputSender sender(output);
    if (sender.start(frame)) {
        TestSupport::require(sender.sendAt(frame, 0) && sender.stop(1), "a started sender refused a frame");
    } else {
        TestSupport::require(sender.error() == LumoOutputSender::UniverseOutOfRange ||
                                 sender.error() == LumoOutputSender::InvalidFrame,
                             "the sender refused a frame for another reason", sender.errorString());
    }
    return 0;
}
