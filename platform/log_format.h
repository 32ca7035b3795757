#pragma once
// The text form of SETUP.EXE's log (portable): UTF-8 after a byte-order mark,
// CRLF line ends, every line led by a local timestamp to the millisecond.
//
//   EF BB BF                                    byte-order mark, once
//   "2026-12-08 00:45:18.123 " text "\r\n"      one line
//   "2026-12-08 00:45:18.123 | " more "\r\n"    each further line of a text
//                                               that holds line breaks

#include <string>

namespace logfmt {

inline constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

struct Stamp {
    int year, month, day, hour, minute, second, millisecond;
};

// "YYYY-MM-DD hh:mm:ss.mmm"
std::string FormatStamp(const Stamp& t);

// The log lines of one UTF-8 text: "\n", "\r\n" and "\r" each break a line;
// a trailing break adds no empty line; an empty text gives one line.
std::string FormatLines(const Stamp& t, const std::string& text);

// The record of one message box: "box 0x30: " + text, then "answer: OK".
// style is the box's style; answer the button's id (1 OK, 2 Cancel,
// 4 Retry, as Windows numbers them); automatic says no person gave it.
std::string BoxRecord(const std::string& text, unsigned style);
std::string AnswerRecord(int answer, bool automatic);

}  // namespace logfmt
