// The element tabs: where each of the three tabs lies and which one a mouse
// press chooses. Text widths come from the dialog's font, measured by the window.
#pragma once
#include <cstdint>

constexpr int32_t TabCount = 3;
constexpr int32_t FirstTabX = 4;        // left end of the first tab
constexpr int32_t TabPadding = 34;      // a tab's width beyond its text
constexpr int32_t TabStripHeight = 15;  // presses from this row down fall on the page, not a tab
constexpr int32_t TabPageTop = 14;      // the page's raised edge starts here

// The tab captions, left to right.
inline constexpr const char* TabCaptions[TabCount] = {"Main", "Inner Bevel", "Outer Bevel"};

struct TabLayout {
  int32_t left[TabCount];   // where each tab starts
  int32_t right[TabCount];  // where the next one starts
};

void LayOutTabs(TabLayout* layout, const int32_t textWidths[TabCount]);

// The tab a press at (x, y) chooses, or -1 when it falls on no tab.
int32_t TabAt(const TabLayout& layout, int32_t x, int32_t y);
