#pragma once
// Gaussian noise that repeats on every system: the Box-Muller method over a
// 64-bit xorshift generator.
#include <cmath>
#include <cstdint>

namespace evlink::sim {

class GaussianNoise {
public:
    explicit GaussianNoise(uint64_t seed = 0x9E3779B97F4A7C15u) : state_(seed != 0 ? seed : 1) {}

    // One value of mean 0 and standard deviation 1.
    double Next()
    {
        const double u = Uniform();
        const double v = Uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * v);
    }

private:
    double Uniform()  // in (0, 1)
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return (static_cast<double>(state_ >> 11) + 0.5) / 9007199254740992.0;
    }

    uint64_t state_;
};

}  // namespace evlink::sim
