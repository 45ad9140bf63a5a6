#include "quillon/Error.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

void inner()
{
    try {
        throw qln::EngineError(0x80040201, "QLN2000", "No Interp Specified");
    } catch (...) {
        qln::rethrowWithTrail("Inner", 5);
    }
}

void outer()
{
    try {
        inner();
    } catch (...) {
        qln::rethrowWithTrail("Outer", 2);
    }
}

} // namespace

TEST(EngineError, TrailGrowsOutwardKeepingNumberAndDescription)
{
    try {
        outer();
        FAIL() << "no error raised";
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), 0x80040201);
        EXPECT_EQ(error.source(), "Outer(Line 2)/Inner(Line 5)/QLN2000");
        EXPECT_EQ(error.description(), "No Interp Specified");
    }
}

TEST(EngineError, ForeignExceptionsBecomeEngineErrors)
{
    try {
        try {
            throw std::runtime_error("disk full");
        } catch (...) {
            qln::rethrowWithTrail("Writer", 3);
        }
    } catch (const qln::EngineError& error) {
        EXPECT_EQ(error.number(), qln::kUnexpectedError);
        EXPECT_EQ(error.source(), "Writer(Line 3)/");
        EXPECT_EQ(error.description(), "disk full");
    }
}

TEST(EngineError, HexNumberShowsThirtyTwoBits)
{
    EXPECT_EQ(qln::hexNumber(0x80040209), "0x80040209");
    EXPECT_EQ(qln::hexNumber(53), "0x35");
}
