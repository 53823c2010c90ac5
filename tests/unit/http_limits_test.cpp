// What the transfers make of what the network sends: the document body kept
// while it arrives, and libcurl's progress figures as 32-bit counts.
#include "net/document.h"
#include "net/installer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(DocumentBody, KeepsTheFirstBytesAndEndsTheTransferPastTheLimit) {
    DocumentBody body;
    const std::string chunk(100000, 'x');
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(body.Append(chunk.data(), chunk.size())) << i;
    EXPECT_FALSE(body.Full());
    // 500000 kept; this chunk crosses the limit: what fits is kept, the
    // transfer is asked to end, and later chunks change nothing.
    EXPECT_FALSE(body.Append(chunk.data(), chunk.size()));
    EXPECT_TRUE(body.Full());
    EXPECT_FALSE(body.Append("tail", 4));
    EXPECT_EQ(body.Text(), std::string(DocumentBody::kLimit, 'x'));
}

TEST(DocumentBody, ExactlyTheLimitIsAWholeBody) {
    DocumentBody body;
    const std::string all(DocumentBody::kLimit, 'y');
    EXPECT_TRUE(body.Append(all.data(), all.size()));
    EXPECT_FALSE(body.Full());
    EXPECT_EQ(body.Text().size(), DocumentBody::kLimit);
}

TEST(DocumentBody, TextEndsAtTheFirstNul) {
    DocumentBody body;
    EXPECT_TRUE(body.Append("<Option/>\0rest", 14));
    EXPECT_TRUE(body.Append("more", 4));
    EXPECT_EQ(body.Text(), "<Option/>");
    DocumentBody empty;
    EXPECT_EQ(empty.Text(), "");
}

TEST(ClampByteCount, FourGibibytesAndMoreGiveTheLargestCount) {
    EXPECT_EQ(ClampByteCount(0), 0u);
    EXPECT_EQ(ClampByteCount(12345), 12345u);
    EXPECT_EQ(ClampByteCount(4294967294u), 4294967294u);
    EXPECT_EQ(ClampByteCount(4294967295u), UINT32_MAX);
    EXPECT_EQ(ClampByteCount(4294967296u), UINT32_MAX);
    EXPECT_EQ(ClampByteCount(UINT64_MAX), UINT32_MAX);
}

} // namespace
