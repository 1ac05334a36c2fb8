#include "dialup/tariff.h"

#include "platform/cp932.h"

namespace norvax {
namespace {

// Money and time are signed 32-bit; the sums wrap as 32-bit arithmetic would.
int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

struct Rate {
  int32_t fee;
  int32_t unit;
};

Rate DayRate(const ParsedProfile& p, const HolidayCalendar& holidays, const DateTime& t) {
  if (ClassifyDay(holidays, t.year, t.month, t.day) != 0) return {p.holidayFee, p.holidaySeconds};
  return {p.dayFee, p.daySeconds};
}

void RequireUnit(int32_t unit) {
  if (unit <= 0) throw ProfileError(Sjis("電話料金の秒数が正しくありません。"));
}

constexpr int64_t kDaySeconds = 86400;

struct ChargeSums {
  int64_t phone = 0;
  int64_t flat = 0;
};

// Adds the charge of a piece of a call shorter than one day, taken from the times of day of
// its start and end: the bands of the start day, the late night, then the bands of the end
// day up to 23:00. A piece of a longer call goes on into the late night after that, which
// only a piece that starts after 23:00 reaches.
void AddChargeWithinADay(const DateTime& start, const DateTime& end, bool partOfALongerCall,
                         const ParsedProfile& profile, const HolidayCalendar& holidays,
                         ChargeSums& sums) {
  int64_t s = start.SecondOfDay();
  int64_t e = end.SecondOfDay();
  if (e < s) e += kDaySeconds;

  struct Band {
    int64_t from, to;
    bool late;
    bool endDay;
  };
  static constexpr Band kBands[] = {
      {0, 28800, true, false},       {28800, 75600, false, false},  {75600, 82800, false, false},
      {82800, 115200, true, false},  {115200, 162000, false, true}, {162000, 169200, false, true},
      {169200, 201600, true, false},
  };
  const std::size_t bands = std::size(kBands) - (partOfALongerCall ? 0 : 1);

  for (std::size_t i = 0; i < bands; ++i) {
    const Band& band = kBands[i];
    bool entered = i == 0 ? s < band.to : s <= band.to && e > band.from;
    if (!entered) continue;
    Rate rate = band.late     ? Rate{profile.lateFee, profile.lateSeconds}
                : band.endDay ? DayRate(profile, holidays, end)
                              : DayRate(profile, holidays, start);
    RequireUnit(rate.unit);
    int64_t unit = rate.unit;
    int64_t len;
    if (e <= band.to) {
      len = e - s + 1;
    } else if (band.late) {
      len = ((band.to - s - 1) / unit + 1) * unit;
    } else {
      len = ((band.to - s) / unit) * unit;
    }
    int64_t charge = ((len - 1) / unit + 1) * rate.fee;
    if (band.late && profile.flatRate == '1') {
      sums.flat += charge;
    } else {
      sums.phone += charge;
    }
    s += len;
    if (e <= band.to) break;
    // A late-night band rounded up to whole units may already cover the end of the call;
    // the later bands then have nothing left to charge.
    if (s > e) break;
  }
}

}  // namespace

// A call of a day or more is charged as consecutive pieces: each whole day from the start
// as a piece of 86,399 s (both its first and its last second count, so it covers the day),
// then the rest as a piece from the same time of day to the end. A call shorter than a day
// is the rest alone. The whole days are counted from the duration; the clock's span counts
// instead when it is one second longer, as it is when the milliseconds dropped from the
// start and end times fall that way. (A clock set during the call moves only the end time.)
PhoneCharges PhoneCharge(const DateTime& start, const DateTime& end, int32_t duration,
                         const ParsedProfile& profile, const HolidayCalendar& holidays) {
  const int64_t span = SecondsBetween(start, end);
  const int64_t days = (span == int64_t{duration} + 1 ? span : duration) / kDaySeconds;
  ChargeSums sums;
  DateTime from = start;
  for (int64_t day = 0; day < days; ++day) {
    AddChargeWithinADay(from, AddSeconds(from, kDaySeconds - 1), true, profile, holidays, sums);
    from = AddSeconds(from, kDaySeconds);
  }
  AddChargeWithinADay(from, end, days > 0, profile, holidays, sums);
  return {Wrap(sums.phone), Wrap(sums.flat)};
}

BillingPeriodText BillingPeriod(int year, int month, int day, int32_t startDay) {
  int y = year;
  int m = month;
  if (day < startDay) {
    if (month == 1) {
      y = year - 1;
      m = 12;
    } else {
      m = month - 1;
    }
  }
  std::string start = DateText(y, m, startDay);
  return {start, start.substr(0, 7)};
}

bool CumulativeSurvives(int32_t cumulative, int day, int32_t startDay, const std::string& lastDate,
                        const std::string& periodStart, const std::string& dateText) {
  return cumulative != 0 && day != startDay && (lastDate >= periodStart || periodStart > dateText);
}

int32_t ProviderCharge(int32_t duration, int32_t cumulative, const ParsedProfile& profile) {
  int64_t unitSeconds = profile.unitSeconds;
  int64_t unitFee = profile.unitFee;
  if (unitSeconds == 0 || unitFee == 0) return 0;
  int64_t allowance = static_cast<int64_t>(profile.baseMinutes) * 60;
  int64_t before = static_cast<int64_t>(cumulative) - allowance;
  int64_t after = static_cast<int64_t>(cumulative) + duration - allowance;
  if (after <= 0) return 0;
  // The bill so far counts metered units only once the included minutes are used up.
  int64_t metered = before > 0 ? ((before - 1) / unitSeconds + 1) * unitFee : 0;
  int64_t sofar = metered + profile.baseFee;
  int64_t cap = profile.cap;
  if (cap != 0 && cap <= sofar) return 0;
  int64_t charge = before >= 0 ? ((static_cast<int64_t>(duration) - 1) / unitSeconds + 1) * unitFee
                               : ((after - 1) / unitSeconds + 1) * unitFee;
  if (cap != 0 && cap < sofar + charge) charge = cap - sofar;
  return Wrap(charge);
}

}  // namespace norvax
