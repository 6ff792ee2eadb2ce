#include "app/report/progress_text.h"

#include <cmath>
#include <utility>

std::string FillIn(const std::string& format, std::initializer_list<std::string> arguments) {
  std::string text;
  const std::string* next = arguments.begin();
  std::size_t from = 0;
  for (std::size_t at = format.find("%s"); at != std::string::npos; at = format.find("%s", from)) {
    text.append(format, from, at - from);
    if (next != arguments.end()) text += *next++;
    from = at + 2;
  }
  text.append(format, from, std::string::npos);
  return text;
}

namespace {

// value / unit, rounded down, with one decimal.
std::string Tenths(std::uint64_t value, std::uint64_t unit) {
  const std::uint64_t tenths = value * 10 / unit;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

std::string SizeText(std::uint64_t bytes, const ProgressTexts& texts) {
  constexpr std::uint64_t kKilo = 1024;
  constexpr std::uint64_t kMega = kKilo * 1024;
  constexpr std::uint64_t kGiga = kMega * 1024;
  if (bytes < 10 * kKilo) return FillIn(texts.kilobytes, {Tenths(bytes, kKilo)});
  if (bytes < kMega) return FillIn(texts.kilobytes, {std::to_string(bytes / kKilo)});
  if (bytes < kGiga) return FillIn(texts.megabytes, {Tenths(bytes, kMega)});
  return FillIn(texts.gigabytes, {Tenths(bytes, kGiga)});
}

std::string TimeLeftText(std::uint64_t seconds, const ProgressTexts& texts) {
  if (seconds < 60) return FillIn(texts.seconds, {std::to_string(seconds)});
  if (seconds < 3600) return FillIn(texts.minutes, {std::to_string((seconds + 59) / 60)});
  return FillIn(texts.hours, {std::to_string((seconds + 3599) / 3600)});
}

std::string ProgressLine(std::uint64_t done, std::optional<std::uint64_t> total,
                         std::optional<double> bytes_per_second, const ProgressTexts& texts) {
  const std::string amount = SizeText(done, texts);
  if (!total) return amount;
  const std::string whole = SizeText(*total, texts);
  // A transfer that has stalled has no speed worth showing, nor an end in sight.
  if (!bytes_per_second || *bytes_per_second < 1.0) return FillIn(texts.of_total, {amount, whole});
  const std::string speed = SizeText(static_cast<std::uint64_t>(*bytes_per_second), texts);
  const std::uint64_t rest = *total > done ? *total - done : 0;
  const double seconds = std::ceil(static_cast<double>(rest) / *bytes_per_second);
  if (seconds >= 100.0 * 3600) return FillIn(texts.of_total_speed, {amount, whole, speed});
  return FillIn(texts.of_total_speed_left,
                {amount, whole, speed, TimeLeftText(static_cast<std::uint64_t>(seconds), texts)});
}

void SpeedMeter::Start(std::uint64_t done, std::uint32_t now_ms) {
  first_ = 0;
  count_ = 1;
  samples_[0] = {now_ms, done};
  latest_ = samples_[0];
}

void SpeedMeter::Add(std::uint64_t done, std::uint32_t now_ms) {
  if (count_ == 0) {
    Start(done, now_ms);
    return;
  }
  latest_ = {now_ms, done};
  const Sample& newest = samples_[(first_ + count_ - 1) % kSamples];
  if (now_ms - newest.ms < kSampleMs) return;
  if (count_ == kSamples) {
    first_ = (first_ + 1) % kSamples;
    --count_;
  }
  samples_[(first_ + count_) % kSamples] = latest_;
  ++count_;
  // Only the last few seconds count; one older sample stays as the window's start.
  while (count_ > 2 && now_ms - samples_[(first_ + 1) % kSamples].ms >= kWindowMs) {
    first_ = (first_ + 1) % kSamples;
    --count_;
  }
}

std::optional<double> SpeedMeter::BytesPerSecond() const {
  if (count_ == 0) return std::nullopt;
  const Sample& oldest = samples_[first_];
  const std::uint32_t span = latest_.ms - oldest.ms;
  if (span < kShortestSpanMs) return std::nullopt;
  return static_cast<double>(latest_.done - oldest.done) * 1000.0 / span;
}
