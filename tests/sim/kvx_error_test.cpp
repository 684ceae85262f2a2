// Tests of libkvx: kvxErrMsgTxt raises kq::sim::HostError, caught by type in this executable across
// the shared-library boundary, with its own copy of the text.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "host/kvx_error.h"
#include "sim/libkvx/host_error.h"

namespace {

// Formats into a buffer on its own stack frame and raises from there, as a block's command-line
// branch does; the frame is gone by the time the handler runs.
[[gnu::noinline]] void raiseFormatted(const char* label) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%s must be called with at least 4 right hand arguments",
                  label);
    kvxErrMsgTxt(buffer);
}

// Fills a large part of the stack with a marker, over the frames the throw left behind.
[[gnu::noinline]] void scribbleStack() {
    volatile char filler[8192];
    for (size_t i = 0; i < sizeof filler; ++i) {
        filler[i] = 'X';
    }
}

// Reached through a C function pointer, as the host reaches kvxFunction.
extern "C" void callThroughCFrame(const char* text) {
    kvxErrMsgTxt(text);
}

TEST(KvxErrMsgTxt, CaughtByTypeWithCopiedText) {
    char buffer[64];
    std::strcpy(buffer, "Invalid flag passed to block");
    bool caught = false;
    try {
        kvxErrMsgTxt(buffer);
    } catch (const kq::sim::HostError& error) {
        std::memset(buffer, 'X', sizeof buffer - 1);  // the caller's text changes after the throw
        buffer[sizeof buffer - 1] = '\0';
        EXPECT_STREQ(error.what(), "Invalid flag passed to block");
        caught = true;
    }
    EXPECT_TRUE(caught);
}

TEST(KvxErrMsgTxt, TextFromAnUnwoundFrameSurvives) {
    std::string message;
    try {
        raiseFormatted("KVX level2 R-block \"kqphasefix2\"");
    } catch (const kq::sim::HostError& error) {
        scribbleStack();
        message = error.what();
    }
    EXPECT_EQ(message,
              "KVX level2 R-block \"kqphasefix2\" must be called with at least 4 right hand "
              "arguments");
}

TEST(KvxErrMsgTxt, IsARuntimeError) {
    void (*raise)(const char*) = callThroughCFrame;
    try {
        raise("through a C frame");
        FAIL() << "kvxErrMsgTxt returned";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(dynamic_cast<const kq::sim::HostError*>(&error), nullptr);
        EXPECT_STREQ(error.what(), "through a C frame");
    }
}

TEST(KvxErrMsgTxt, NullAndEmptyTextGiveEmptyMessage) {
    EXPECT_THROW(kvxErrMsgTxt(nullptr), kq::sim::HostError);
    try {
        kvxErrMsgTxt(nullptr);
    } catch (const kq::sim::HostError& error) {
        EXPECT_STREQ(error.what(), "");
    }
    try {
        kvxErrMsgTxt("");
    } catch (const kq::sim::HostError& error) {
        EXPECT_STREQ(error.what(), "");
    }
}

TEST(KvxErrMsgTxt, LongTextIsKeptWhole) {
    const std::string text(1000, 'q');
    try {
        kvxErrMsgTxt(text.c_str());
    } catch (const kq::sim::HostError& error) {
        EXPECT_EQ(std::string(error.what()), text);
    }
}

TEST(HostError, CopiesKeepTheMessage) {
    const kq::sim::HostError original("first");
    kq::sim::HostError copy = original;
    EXPECT_STREQ(copy.what(), "first");
    copy = kq::sim::HostError("second");
    EXPECT_STREQ(copy.what(), "second");
    EXPECT_STREQ(original.what(), "first");
}

}  // namespace
