#include "AdapterTestSupport.h"

#include <gtest/gtest.h>

void PrintTo(const PollCase& c, std::ostream* os)
{
    *os << c.name;
}

void ExpectPoll(TAudio& adapter, TAudio::Hook TAudio::*hook, const std::function<void()>& poll,
                const PollCase& c)
{
    THookCounter counter{.expectedSender = &adapter};
    adapter.*hook = counter.hook();
    adapter.Progress = 42;
    adapter.Cons.Lines = c.rows;
    poll();
    EXPECT_EQ(adapter.Progress, c.progress);
    EXPECT_EQ(adapter.ProgressSeen, c.seen);
    EXPECT_EQ(counter.calls, c.notifications);
    EXPECT_EQ(counter.wrongSenders, 0);
}
