#pragma once

// The rating scale: every level a subject can give, on every screen and in every file.
namespace Scale {

constexpr int Top = 5;
constexpr int Bottom = -5;

constexpr bool contains(long long level)
{
    return level >= Bottom && level <= Top;
}

} // namespace Scale
