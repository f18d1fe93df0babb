// Bounded waits that report to GoogleTest (QTRY_ macros only report to QTest
// and would let a failed wait pass silently here).
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace korl_test {
template <class F>
bool WaitFor(F&& condition, int ms) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired()) return condition();
        QTest::qWait(5);
    }
    return true;
}
} // namespace korl_test

#define WAIT_TRUE(cond, ms) ASSERT_TRUE(korl_test::WaitFor([&] { return bool(cond); }, ms)) << #cond
#define WAIT_EQ(a, b, ms)                                                           \
    do {                                                                            \
        const bool korlWaitOk = korl_test::WaitFor([&] { return (a) == (b); }, ms); \
        ASSERT_EQ(a, b);                                                            \
        (void)korlWaitOk;                                                           \
    } while (0)
