// The loan date reader on any text: it never fails, a date it finds is a real
// day range inside the years it accepts (never also marked impossible), and
// the date as shown reads back as the same date.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/core/codepage.h"
#include "app/core/loan_date.h"
#include "fuzz/fuzz_check.h"

namespace {

void Check(const QString& text) {
    const QDate today(2026, 12, 8);
    const LoanDate d = ReadLoanDate(text, today);
    const LoanDate again = ReadLoanDate(text, today);
    FUZZ_CHECK(again.precision == d.precision && again.first == d.first && again.last == d.last &&
                   again.impossible == d.impossible,
               "two readings differ");
    FUZZ_CHECK(!(d.impossible && d.Known()), "a date both read and impossible");
    if (!d.Known()) {
        FUZZ_CHECK(!d.first.isValid() && !d.last.isValid() && d.Shown().isEmpty(), "a date without precision");
        FUZZ_CHECK(!IsOverdue(d, today, 1), "no date, yet overdue");
        return;
    }
    FUZZ_CHECK(d.first.isValid() && d.last.isValid() && d.first <= d.last, "not a day range");
    FUZZ_CHECK(d.first.year() >= 1900 && d.last.year() <= 2099, "year out of range");
    using P = LoanDate::Precision;
    if (d.precision == P::Day) FUZZ_CHECK(d.first == d.last, "a day of more than one day");
    if (d.precision == P::Month)
        FUZZ_CHECK(d.first.day() == 1 && d.last == d.first.addMonths(1).addDays(-1), "not a whole month");
    if (d.precision == P::Year)
        FUZZ_CHECK(d.first == QDate(d.first.year(), 1, 1) && d.last == QDate(d.first.year(), 12, 31),
                   "not a whole year");
    const LoanDate shown = ReadLoanDate(d.Shown(), today);
    FUZZ_CHECK(shown.precision == d.precision && shown.first == d.first && shown.last == d.last,
               "the shown date reads back otherwise: " + d.Shown().toStdString());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(QString::fromUtf8(bytes));
    Check(FromCodePage(bytes));  // as the catalogue stores it
    return 0;
}
