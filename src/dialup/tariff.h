// Charges of one connection: the telephone charge by time-of-day band and day type, the
// billing month, the cumulative connection time and the provider's metered charge.
#pragma once

#include <cstdint>
#include <string>

#include "dialup/dates.h"
#include "dialup/dial_profile.h"
#include "dialup/holidays.h"

namespace norvax {

struct PhoneCharges {
  int32_t phone = 0;  // telephone charge without the flat-rate part
  int32_t flat = 0;   // late-night part booked to the flat-rate plan
  bool operator==(const PhoneCharges&) const = default;
};

// Telephone charge of a call from start to end that lasted `duration` whole seconds.
// Throws ProfileError when a telephone unit length the call needs is not positive.
PhoneCharges PhoneCharge(const DateTime& start, const DateTime& end, int32_t duration,
                         const ParsedProfile& profile, const HolidayCalendar& holidays);

struct BillingPeriodText {
  std::string start;  // "yyyy/mm/dd"
  std::string key;    // "yyyy/mm"
  bool operator==(const BillingPeriodText&) const = default;
};

BillingPeriodText BillingPeriod(int year, int month, int day, int32_t startDay);

// Whether the cumulative time of the billing month carries over to a call started on
// dateText (day of month `day`), given the date of the last logged call.
bool CumulativeSurvives(int32_t cumulative, int day, int32_t startDay, const std::string& lastDate,
                        const std::string& periodStart, const std::string& dateText);

// The provider's metered charge of a call of `duration` seconds when `cumulative` seconds of
// the billing month were used before it.
int32_t ProviderCharge(int32_t duration, int32_t cumulative, const ParsedProfile& profile);

}  // namespace norvax
