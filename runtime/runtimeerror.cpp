#include "runtimeerror.h"

#include <limits>

std::string RunTimeError::message() const
{
    return "Run-time error '" + std::to_string(number_) + "':\n\n" + text_;
}

int16_t Int16(long long value)
{
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        throw RunTimeError::Overflow();
    return static_cast<int16_t>(value);
}

int32_t Int32(long long value)
{
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        throw RunTimeError::Overflow();
    return static_cast<int32_t>(value);
}
