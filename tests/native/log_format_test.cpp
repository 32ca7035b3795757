// The log's text form: timestamps, line breaks, box records.
#include <gtest/gtest.h>

#include "platform/log_format.h"

using namespace logfmt;

TEST(LogFormat, StampAndLines) {
    const Stamp t{2026, 12, 8, 1, 2, 3, 45};
    EXPECT_EQ(FormatStamp(t), "2026-12-08 01:02:03.045");
    EXPECT_EQ(FormatLines(t, "one"), "2026-12-08 01:02:03.045 one\r\n");
    EXPECT_EQ(FormatLines(t, ""), "2026-12-08 01:02:03.045 \r\n");
    // Every kind of break starts a further line of the same entry; a
    // trailing break adds none, an empty line inside is kept.
    EXPECT_EQ(FormatLines(t, "a\nb\r\nc\rd\n"),
              "2026-12-08 01:02:03.045 a\r\n"
              "2026-12-08 01:02:03.045 | b\r\n"
              "2026-12-08 01:02:03.045 | c\r\n"
              "2026-12-08 01:02:03.045 | d\r\n");
    EXPECT_EQ(FormatLines(t, "a\n\nb"),
              "2026-12-08 01:02:03.045 a\r\n"
              "2026-12-08 01:02:03.045 | \r\n"
              "2026-12-08 01:02:03.045 | b\r\n");
    // Bytes above 0x7F (UTF-8) pass untouched.
    EXPECT_EQ(FormatLines(t, "\xE3\x82\xBE"), "2026-12-08 01:02:03.045 \xE3\x82\xBE\r\n");
}

TEST(LogFormat, BoxAndAnswer) {
    EXPECT_EQ(BoxRecord("text", 0x30), "box 0x30: text");
    EXPECT_EQ(BoxRecord("t", 0x5), "box 0x05: t");
    EXPECT_EQ(AnswerRecord(1, false), "answer: OK");
    EXPECT_EQ(AnswerRecord(4, true), "answer: Retry (automatic)");
    EXPECT_EQ(AnswerRecord(2, true), "answer: Cancel (automatic)");
    EXPECT_EQ(AnswerRecord(99, false), "answer: 99");
}
