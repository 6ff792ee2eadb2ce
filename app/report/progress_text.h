// The line under the progress bar: how much of the current file has arrived, of how much, how
// fast and how long the rest will take ("1.2 MB of 3.4 MB (420 KB/s, 6 s left)"), and the speed
// behind it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

// The line's templates, each "%s" filled in turn: loaded from the string table by the page,
// given as literals by the tests.
struct ProgressTexts {
  std::string of_total_speed_left;  // "%s of %s (%s/s, %s left)"
  std::string of_total_speed;       // "%s of %s (%s/s)", when the rest would take 100 h or more
  std::string of_total;             // "%s of %s", before the speed is known
  std::string kilobytes;            // "%s KB"
  std::string megabytes;            // "%s MB"
  std::string gigabytes;            // "%s GB"
  std::string seconds;              // "%s s"
  std::string minutes;              // "%s min"
  std::string hours;                // "%s h"
};

// format with each "%s" replaced by the next argument; a "%s" beyond them stays empty.
std::string FillIn(const std::string& format, std::initializer_list<std::string> arguments);

// An amount in KB (one decimal below 10 KB), MB or GB (one decimal), rounded down so that a
// file never shows as more than has arrived.
std::string SizeText(std::uint64_t bytes, const ProgressTexts& texts);
// Time left, rounded up: seconds below a minute, then minutes, then hours.
std::string TimeLeftText(std::uint64_t seconds, const ProgressTexts& texts);

// The whole line: the amount alone when the length is unknown (total none), the amount of the
// total until a speed is known, with the speed and the time left once it is.
std::string ProgressLine(std::uint64_t done, std::optional<std::uint64_t> total,
                         std::optional<double> bytes_per_second, const ProgressTexts& texts);

// The speed of a transfer, averaged over its last few seconds, from the amounts it reports.
class SpeedMeter {
 public:
  static constexpr std::uint32_t kWindowMs = 5000;
  static constexpr std::uint32_t kSampleMs = 250;
  // A speed is given once this much time lies behind the first sample.
  static constexpr std::uint32_t kShortestSpanMs = 1000;

  // Begins anew at done bytes (what is already on disk does not count as speed).
  void Start(std::uint64_t done, std::uint32_t now_ms);
  // done bytes have arrived in all by now_ms.
  void Add(std::uint64_t done, std::uint32_t now_ms);
  // Bytes per second over the window; none in the first second.
  std::optional<double> BytesPerSecond() const;

 private:
  struct Sample {
    std::uint32_t ms;
    std::uint64_t done;
  };
  static constexpr int kSamples = kWindowMs / kSampleMs + 2;
  Sample samples_[kSamples] = {};
  int first_ = 0;  // the oldest sample kept
  int count_ = 0;
  Sample latest_ = {};
};
