// The error log: lazy creation, the log switch, line formats and the message ring.
#include "lib/XQ_COMPRESS/src/ErrorLog.h"

#include "lib/XQ_COMPRESS/src/XQ_Compress.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

using namespace xq;
using namespace xqtest;

namespace {

class ErrorLogTest : public ScratchDirTest {};

TEST_F(ErrorLogTest, FirstReportCreatesAnEmptyLogWhileTheSwitchIsOff) {
    { std::ofstream("ERROR.LOG") << "left from an earlier run\n"; }
    EXPECT_EQ(LogSwitch(), 0);
    EXPECT_FALSE(LogIsOpen());
    PackedBlock block; // no magic, no version, stored, nothing to copy
    DecompressBlock(&block);
    FreeUnpackedData(&block);
    EXPECT_TRUE(LogIsOpen());
    EXPECT_TRUE(std::filesystem::exists("ERROR.LOG"));
    EXPECT_EQ(LogText(), "");
}

TEST_F(ErrorLogTest, SwitchOnWritesOneLinePerReport) {
    SetLogSwitch(1);
    LogError("x");
    LogException("x");
    LogError(nullptr);
    EXPECT_EQ(LogText(), "ERROR : x\nEXCEPTION : x\nERROR : \n");
}

TEST_F(ErrorLogTest, AFailedOpenIsRetriedByTheNextReport) {
    SetLogSwitch(1);
    EXPECT_FALSE(OpenLog("no-such-directory/x.log"));
    EXPECT_FALSE(LogIsOpen());
    LogError("after"); // opens ERROR.LOG in the working directory
    EXPECT_TRUE(LogIsOpen());
    EXPECT_EQ(LogText(), "ERROR : after\n");

    EXPECT_TRUE(OpenLog("other.log"));
    LogException("y");
    EXPECT_EQ(ReadFile(dir_ / "other.log"), "EXCEPTION : y\n");
}

TEST_F(ErrorLogTest, MessagesAreFormattedIntoTheRing) {
    const int start = LogRingPosition();
    const char* text = FormatLogMessage("%s AT LINE %d : ", "src", 7);
    EXPECT_STREQ(text, "src AT LINE 7 : ");
    if (start + LOG_MESSAGE_ROOM <= LOG_RING_SIZE) {
        EXPECT_EQ(LogRingPosition(), start + 16 + 2);
    }
    EXPECT_STREQ(FormatLogMessage(nullptr), "");
}

TEST_F(ErrorLogTest, RingStartsOverWhenLessThanAMessageRoomIsLeft) {
    // Walk the position past 7,168 with messages of 98 characters (100 bytes of ring each).
    const std::string filler(98, 'f');
    while (LogRingPosition() <= LOG_RING_SIZE - LOG_MESSAGE_ROOM)
        FormatLogMessage("%s", filler.c_str());
    EXPECT_GT(LogRingPosition(), 7168);
    const char* first = FormatLogMessage("%s", "next");
    EXPECT_EQ(LogRingPosition(), 6);
    EXPECT_STREQ(first, "next");
    // The text returned before the wrap is still the ring's start.
    EXPECT_EQ(FormatLogMessage("%s", "z") - first, 6);
}

TEST_F(ErrorLogTest, LongMessagesAreCutToTheRoomAndNeverOverrunTheRing) {
    const std::string huge(5000, 'h');
    // Bring the position to exactly 7,168, the last place that still leaves a full room: wrap
    // once to a known place, then fill.
    const std::string filler(98, 'f');
    while (LogRingPosition() <= 7168) FormatLogMessage("%s", filler.c_str());
    FormatLogMessage("%s", "");
    ASSERT_EQ(LogRingPosition(), 2);
    while (LogRingPosition() + 100 <= 7168) FormatLogMessage("%s", filler.c_str());
    FormatLogMessage("%s", std::string(size_t(7168 - LogRingPosition() - 2), 'g').c_str());
    ASSERT_EQ(LogRingPosition(), 7168);

    const char* cut = FormatLogMessage("%s", huge.c_str());
    EXPECT_EQ(std::strlen(cut), size_t(LOG_MESSAGE_ROOM - 1));
    EXPECT_EQ(LogRingPosition(), 7168 + LOG_MESSAGE_ROOM + 1); // one past the end of the ring
    const char* next = FormatLogMessage("%s", huge.c_str());
    EXPECT_EQ(LogRingPosition(), LOG_MESSAGE_ROOM + 1);
    EXPECT_EQ(std::strlen(next), size_t(LOG_MESSAGE_ROOM - 1));

    SetLogSwitch(1);
    LogError(next);
    EXPECT_EQ(LogText(), "ERROR : " + std::string(LOG_MESSAGE_ROOM - 1, 'h') + "\n");
}

} // namespace
