#include <gtest/gtest.h>

#include "expr/CFuncParser.h"

TEST(Tokenizer, EmptyTextEndsAtOnce)
{
    CFuncParser parser("   ");
    EXPECT_EQ(parser.m_nToken, TK_END);
}
