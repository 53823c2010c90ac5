// The download's percentage rule and the working-folder path rules.
#include "download/download.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// Feeds a transfer of `total` bytes in `step`-byte pieces through the
// update rule; returns how many updates reached the screen.
int ShownUpdates(uint32_t total, uint32_t step, uint32_t& last) {
    int updates = 0;
    last = 0;
    for (uint64_t received = 0;; received += step) {
        uint32_t now = static_cast<uint32_t>(received < total ? received : total);
        if (NextShownPercent(total, now, last))
            ++updates;
        if (now == total)
            break;
    }
    return updates;
}

} // namespace

TEST(DownloadPercent, LargeTransfersEndAtExactly100) {
    for (uint32_t total : {10000u, 10001u, 10099u, 19999u, 123457u, 209715200u, UINT32_MAX}) {
        EXPECT_EQ(DownloadPercent(total, total), 100u) << total;
        EXPECT_EQ(DownloadPercent(total, 0), 0u) << total;
        EXPECT_LE(DownloadPercent(total, total - 1), 100u) << total;
    }
    EXPECT_EQ(DownloadPercent(10000, 5000), 50u);
    EXPECT_EQ(DownloadPercent(10000, 99), 0u);
    EXPECT_EQ(DownloadPercent(10000, 100), 1u);
}

TEST(DownloadPercent, SmallTotalsCanPass100) {
    // total / 100 == 1 for 100..199 bytes: the count itself is shown.
    EXPECT_EQ(DownloadPercent(199, 199), 199u);
    EXPECT_EQ(DownloadPercent(199, 150), 150u);
    EXPECT_EQ(DownloadPercent(100, 100), 100u);
    EXPECT_EQ(DownloadPercent(250, 250), 125u);
}

TEST(DownloadPercent, TotalsBelow100ShowTheProportion) {
    for (uint32_t total = 1; total < 100; ++total) {
        uint32_t previous = 0;
        for (uint32_t received = 0; received <= total; ++received) {
            uint32_t percent = DownloadPercent(total, received);
            EXPECT_LE(percent, 100u);
            EXPECT_GE(percent, previous);
            previous = percent;
        }
        EXPECT_EQ(DownloadPercent(total, 0), 0u);
        EXPECT_EQ(DownloadPercent(total, total), 100u) << total;
    }
    EXPECT_EQ(DownloadPercent(4, 1), 25u);
    EXPECT_EQ(DownloadPercent(3, 2), 66u);
    // A received count beyond the total (never relayed, but harmless).
    EXPECT_EQ(DownloadPercent(1, UINT32_MAX), 100u);
}

TEST(DownloadPercent, NoTotalShowsNothing) {
    EXPECT_EQ(DownloadPercent(0, 0), 0u);
    EXPECT_EQ(DownloadPercent(0, 5000), 0u);
    uint32_t last = 42;
    EXPECT_FALSE(NextShownPercent(0, 5000, last));
    EXPECT_EQ(last, 42u);
}

TEST(ShownPercent, RepeatedPercentageChangesNothing) {
    uint32_t last = 0;
    EXPECT_FALSE(NextShownPercent(10000, 50, last)); // still 0
    EXPECT_EQ(last, 0u);
    EXPECT_TRUE(NextShownPercent(10000, 100, last));
    EXPECT_EQ(last, 1u);
    EXPECT_FALSE(NextShownPercent(10000, 199, last));
    EXPECT_EQ(last, 1u);
    EXPECT_TRUE(NextShownPercent(10000, 10000, last));
    EXPECT_EQ(last, 100u);
}

TEST(ShownPercent, AtMostOneUpdatePerPercent) {
    uint32_t last = 0;
    // 200 MiB in 16 KiB pieces: 12800 progress calls, 100 screen updates.
    EXPECT_EQ(ShownUpdates(200u << 20, 16u << 10, last), 100);
    EXPECT_EQ(last, 100u);
    // Byte by byte through a small file: one update per distinct value.
    EXPECT_EQ(ShownUpdates(50, 1, last), 50);
    EXPECT_EQ(last, 100u);
    EXPECT_EQ(ShownUpdates(199, 1, last), 199);
    EXPECT_EQ(last, 199u);
}

TEST(AssistantDir, ComposedUnderAppData) {
    EXPECT_EQ(ComposeAssistantDir(L"C:\\users\\qmx\\AppData\\Roaming"),
              L"C:\\users\\qmx\\AppData\\Roaming\\QmxAssistant");
    EXPECT_EQ(ComposeAssistantDir(L"\\\\server\\profiles\\qmx"),
              L"\\\\server\\profiles\\qmx\\QmxAssistant");
    EXPECT_EQ(ComposeTempDir(L"C:\\a\\QmxAssistant"), L"C:\\a\\QmxAssistant\\Temp");
    EXPECT_EQ(ComposeInstallerPath(L"C:\\a\\QmxAssistant\\Temp"),
              L"C:\\a\\QmxAssistant\\Temp\\setup.exe");
}

TEST(AssistantDir, UnsetOrRelativeAppDataGivesNoFolder) {
    EXPECT_EQ(ComposeAssistantDir(nullptr), L"");
    EXPECT_EQ(ComposeAssistantDir(L""), L"");
    // Values that would resolve against the current folder or drive.
    EXPECT_EQ(ComposeAssistantDir(L"AppData"), L"");
    EXPECT_EQ(ComposeAssistantDir(L"\\Roaming"), L"");
    EXPECT_EQ(ComposeAssistantDir(L"C:Roaming"), L"");
    EXPECT_EQ(ComposeAssistantDir(L"\\\\"), L"");
}

TEST(AssistantDir, EmptyFolderStaysEmptyDownTheChain) {
    // Never "\Temp\setup.exe" (the current drive's root) or "setup.exe".
    EXPECT_EQ(ComposeTempDir(L""), L"");
    EXPECT_EQ(ComposeInstallerPath(L""), L"");
    EXPECT_EQ(ComposeInstallerPath(ComposeTempDir(ComposeAssistantDir(nullptr))), L"");
}

TEST(AssistantDir, MustFitThePathBuffer) {
    const std::wstring drive = L"C:\\";
    const size_t suffix = std::wstring(L"\\QmxAssistant").size();
    // The composed folder with its terminator just fits.
    std::wstring fits = drive + std::wstring(kPathBufferChars - 1 - suffix - drive.size(), L'a');
    EXPECT_EQ(ComposeAssistantDir(fits.c_str()).size(), kPathBufferChars - 1);
    // One more character and it does not.
    std::wstring over = fits + L"a";
    EXPECT_EQ(ComposeAssistantDir(over.c_str()), L"");
    // A value that alone fills or exceeds the environment buffer.
    std::wstring full = drive + std::wstring(kPathBufferChars - 1 - drive.size(), L'b');
    EXPECT_EQ(ComposeAssistantDir(full.c_str()), L"");
    std::wstring huge = drive + std::wstring(40000, L'c');
    EXPECT_EQ(ComposeAssistantDir(huge.c_str()), L"");
}
