#pragma once
// The self-test's pass windows.
namespace selftest {
// Pass windows, bounds included, compared in single precision.
constexpr float kZeroScaleLow = -10.2f;
constexpr float kZeroScaleHigh = -9.8f;
constexpr float kFullScaleLow = 9.8f;
constexpr float kFullScaleHigh = 10.2f;

// True when v lies in [low, high]; a value that is not a number never does.
constexpr bool Within(float v, float low, float high) { return v >= low && v <= high; }
constexpr bool ZeroScaleOk(float v) { return Within(v, kZeroScaleLow, kZeroScaleHigh); }
constexpr bool FullScaleOk(float v) { return Within(v, kFullScaleLow, kFullScaleHigh); }
}  // namespace selftest
