#pragma once

#include <cstdint>

#include "services/text.h"

// The decimal texts of the restore count: read with parseNumberText and truncateToInteger, written
// with formatIntegerText.

// "-" before a negative number, no leading zeros, no grouping: -2147483648 gives "-2147483648".
Text formatIntegerText(int32_t value);

// The number at the start of a text, after full-width folding and leading blanks (TAB to CR and
// space): an optional sign, digits with an optional "." and fraction (or "." and at least one digit),
// and an optional exponent of "e", "E", "d" or "D", a sign and digits. The rest is ignored. 0 when
// there is no number; a magnitude beyond double precision gives an infinity of its sign, one below
// it 0. Never fails.
double parseNumberText(const Text& text);

// The text up to its first zero byte with GBK full-width ASCII (A3 A1 to A3 FE) turned into ASCII,
// the ideographic space into a space, A1 AB into "~" and A1 EE, A1 EF into "*". Other pairs stay; a
// lead byte without a second byte is dropped. Never longer than the text.
Text foldFullWidthText(const Text& text);

// Toward zero, whatever the processor's rounding mode. Outside the signed 64-bit range, infinities
// and not-a-numbers give INT64_MIN, whose low 32 bits are 0.
int64_t truncateToInteger(double value);
