// Which answer may continue the bytes on disk, and which failures are tried
// again after how long.
#include "download/resume.h"
#include "net/range.h"
#include "net/transfer.h"

#include <gtest/gtest.h>

namespace {

const char kTag[] = "\"5f3a-12c\"";

ResponseHeaders Response(long status, const std::string& range = "",
                         const std::string& etag = kTag) {
    ResponseHeaders r;
    r.status = status;
    r.contentRange = range;
    r.etag = etag;
    r.lastModified = "Tue, 08 Dec 2026 10:00:00 GMT";
    return r;
}

} // namespace

TEST(ResumeDecision, OnlyTheContinuationOfTheSameFileIsAppended) {
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(206, "bytes 600-999/1000")), BodyUse::Append);
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(206, "bytes 0-999/1000")), BodyUse::AskWhole);
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(206, "bytes 600-999/1000", "\"other\"")),
              BodyUse::AskWhole);
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(206, "bytes 600-999/*")), BodyUse::Append);
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(206, "garbage")), BodyUse::AskWhole);
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(206, "bytes 600-999/900")), BodyUse::AskWhole);
    EXPECT_EQ(JudgeResponse(0, "", 0, Response(206, "bytes 5-9/10")), BodyUse::Refused);
}

// The kept 600 bytes came from an answer that announced 1000.
TEST(ResumeDecision, TheFirstAnnouncedSizeHoldsForTheKeptBytes) {
    EXPECT_EQ(JudgeResponse(600, kTag, 1000, Response(206, "bytes 600-999/1000")), BodyUse::Append);
    EXPECT_EQ(JudgeResponse(600, kTag, 1000, Response(206, "bytes 600-1199/1200")),
              BodyUse::AskWhole);
    EXPECT_EQ(JudgeResponse(600, kTag, 1000, Response(206, "bytes 600-799/*")), BodyUse::Append);
    EXPECT_EQ(JudgeResponse(600, kTag, 1000, Response(206, "bytes 600-1000/*")), BodyUse::AskWhole);
}

TEST(ResumeDecision, TheSizeAnAnswerAnnounces) {
    ResponseHeaders whole = Response(200);
    whole.contentLength = "1000";
    EXPECT_EQ(AnnouncedTotal(whole), 1000u);
    EXPECT_EQ(AnnouncedTotal(Response(206, "bytes 600-999/1000")), 1000u);
    EXPECT_EQ(AnnouncedTotal(Response(206, "bytes 600-999/*")), 0u);
}

TEST(ResumeDecision, AWholeBodyStartsOverAndStatusesFailAsTheyShould) {
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(200)), BodyUse::FromStart);
    EXPECT_EQ(JudgeResponse(0, "", 0, Response(200)), BodyUse::FromStart);
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(416)), BodyUse::AskWhole);
    EXPECT_EQ(JudgeResponse(0, "", 0, Response(416)), BodyUse::Refused);
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(404)), BodyUse::Refused);
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(304)), BodyUse::Refused);
    EXPECT_EQ(JudgeResponse(600, kTag, 0, Response(503)), BodyUse::ServerError);
}

TEST(ResumeDecision, ValidatorIsAStrongTagElseTheDate) {
    EXPECT_EQ(ResponseValidator(Response(200)), kTag);
    const ResponseHeaders weak = Response(200, "", "W/\"5f3a\"");
    EXPECT_EQ(ResponseValidator(weak), "") << "a date may not stand in for a weak tag";
    ResponseHeaders none = Response(200, "", "");
    none.lastModified.clear();
    EXPECT_EQ(ResponseValidator(none), "");
    ResponseHeaders dated = none;
    dated.lastModified = weak.lastModified;
    EXPECT_EQ(ResponseValidator(dated), weak.lastModified);
    // A control character is never echoed back into a request header.
    ResponseHeaders injected = Response(200, "", "\"a\"\r\nX: y\"");
    EXPECT_EQ(ResponseValidator(injected), "");
    injected.etag.clear();
    injected.lastModified = "Tue, 08 Dec 2026\x7f";
    EXPECT_EQ(ResponseValidator(injected), "");
    // A date validator matches a 206 by its date.
    ResponseHeaders byDate = Response(206, "bytes 10-19/20", "");
    EXPECT_EQ(JudgeResponse(10, byDate.lastModified, 0, byDate), BodyUse::Append);
}

TEST(ResumeDecision, ContentRangeIsParsedStrictly) {
    uint64_t first = 1, last = 1, complete = 1;
    ASSERT_TRUE(ParseContentRange("bytes 188743680-209715199/209715200", first, last, complete));
    EXPECT_EQ(first, 188743680u);
    EXPECT_EQ(last, 209715199u);
    EXPECT_EQ(complete, 209715200u);
    for (const char* bad : {"bytes 9-5/10", "bytes */10", "bytes 1-2/3x", "items 1-2/3",
                            "bytes 1-2", "bytes 99999999999999999999-1/2", ""})
        EXPECT_FALSE(ParseContentRange(bad, first, last, complete)) << bad;
}

TEST(RetryPolicy, NetworkAndServerFailuresRetryThreeTimesAfter2And4And8Seconds) {
    EXPECT_EQ(RetryDelaySeconds(1), 2u);
    EXPECT_EQ(RetryDelaySeconds(2), 4u);
    EXPECT_EQ(RetryDelaySeconds(3), 8u);
    for (int done = 0; done < kMaxTransferRetries; ++done) {
        EXPECT_TRUE(MayRetry(TransferEnd::NetworkCut, done));
        EXPECT_TRUE(MayRetry(TransferEnd::ServerError, done));
        EXPECT_FALSE(MayRetry(TransferEnd::Refused, done));
        EXPECT_FALSE(MayRetry(TransferEnd::LocalFailure, done));
        EXPECT_FALSE(MayRetry(TransferEnd::Complete, done));
    }
    EXPECT_FALSE(MayRetry(TransferEnd::NetworkCut, kMaxTransferRetries));
}

TEST(RetryPolicy, ARetryAfterBytesFlowedIsCutSoonerWhenItStalls) {
    EXPECT_EQ(StallSeconds(false), 60);
    EXPECT_EQ(StallSeconds(true), 15);
    // A try that stalls every time: the run fails within about two minutes.
    long worst = StallSeconds(false);
    for (int retry = 1; retry <= kMaxTransferRetries; ++retry)
        worst += RetryDelaySeconds(retry) + StallSeconds(true);
    EXPECT_LE(worst, 120);
}

TEST(RetryPolicy, AnotherDescriptionMeansStartingOver) {
    const InstallerResume kept{kTag, "https://h/setup.exe", "0123", "sig"};
    EXPECT_EQ(kept.ValidatorFor("https://h/setup.exe", "0123", "sig"), kTag);
    EXPECT_EQ(kept.ValidatorFor("https://h/setup2.exe", "0123", "sig"), "");
    EXPECT_EQ(kept.ValidatorFor("https://h/setup.exe", "4567", "sig"), "");
    EXPECT_EQ(kept.ValidatorFor("https://h/setup.exe", "0123", ""), "");
}
