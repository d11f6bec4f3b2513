#include "host/core/wrap_text.h"

#include <gtest/gtest.h>

using host::wrapText;

TEST(WrapText, KeepsWrittenLinesAndBreaksLongOnesReadably) {
    // Lines as the author broke them stay, trailing blanks included.
    EXPECT_EQ(wrapText("The waveform based on the current settings \nis too large"),
              "The waveform based on the current settings \nis too large");
    // A long sentence breaks at blanks into lines of at most 60 characters.
    const std::string sentence(
        "Settings have changed since last calculating the waveform and the download will use the old one anyway");
    const std::string wrapped = wrapText(sentence);
    EXPECT_EQ(wrapped, "Settings have changed since last calculating the waveform\n"
                       "and the download will use the old one anyway");
    // A path without blanks breaks after a '/'; a word longer than a line breaks hard.
    const std::string path = "/home/engineer/measurements/2026/december/forward-link/setups/qpsk_all_slots.mat";
    EXPECT_EQ(wrapText(path), "/home/engineer/measurements/2026/december/forward-link/\nsetups/qpsk_all_slots.mat");
    EXPECT_EQ(wrapText(std::string(130, 'x')), std::string(60, 'x') + "\n" + std::string(60, 'x') + "\n" +
                                                   std::string(10, 'x'));
    // Characters, not bytes, are counted, and none is cut in two.
    std::string umlauts;
    for (int i = 0; i < 80; ++i) umlauts += "\xc3\xa4";  // a-umlaut
    const std::string split = wrapText(umlauts);
    EXPECT_EQ(split.find('\n'), 120u);
    EXPECT_EQ(split.size(), umlauts.size() + 1);
}
