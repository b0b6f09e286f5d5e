// Dates and delays in HTTP response headers: the three date forms HTTP allows and the
// "Retry-After" value (a delay in seconds or a date).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace mq {

// Seconds since 1970-01-01 00:00:00 UTC for an HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT",
// the obsolete "Sunday, 06-Nov-94 08:49:37 GMT" (two-digit years from 70 are 19xx) and
// asctime's "Sun Nov  6 08:49:37 1994". The day name is not checked against the date; a
// date that does not exist (31 April, second 61) or any other text gives nothing.
std::optional<std::int64_t> ParseHttpDate(std::string_view text);

// How long a "Retry-After" value asks the client to wait: whole seconds, or a date taken
// against the response's "Date" (`responseDate`, when it parses) or else `now`; a date in
// the past is no wait. Nothing for an empty or unreadable value.
std::optional<std::chrono::seconds> RetryAfterDelay(std::string_view retryAfter,
                                                    std::string_view responseDate,
                                                    std::chrono::system_clock::time_point now);

}  // namespace mq
