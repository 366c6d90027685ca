#pragma once

#include <QtGlobal>

// One built-in test pattern; the generator knows it by its position in PatternTable.
struct PatternEntry {
    quint8 Number;  // 1..39, position + 1
    const char* Name;
};

constexpr int PatternCount = 39;

// Columns: Number, Name.
inline constexpr PatternEntry PatternTable[PatternCount] = {
    {1, "White"},
    {2, "Blue"},
    {3, "Red"},
    {4, "Magenta"},
    {5, "Green"},
    {6, "Cyan"},
    {7, "Yellow"},
    {8, "Black"},
    {9, "Gradually Red"},
    {10, "Gradually Green"},
    {11, "Gradually Blue"},
    {12, "Gradually Gray"},
    {13, "Color Bar"},
    {14, "Gray-8"},
    {15, "Gray-16"},
    {16, "Gray-32"},
    {17, "Gray-64"},
    {18, "BW-1"},
    {19, "BW-6"},
    {20, "BW-12"},
    {21, "Hor.-1"},
    {22, "Hor.-3"},
    {23, "Hor.-6"},
    {24, "Multi-Burst-1"},
    {25, "Multi-Burst-2"},
    {26, "Grid-1"},
    {27, "Grid-3"},
    {28, "Grid-6"},
    {29, "Grid-12"},
    {30, "Running_H"},
    {31, "Circles"},
    {32, "BW_Upper_Down_Block"},
    {33, "KEL-1"},
    {34, "KEL-2"},
    {35, "KEL-3"},
    {36, "KEL-4"},
    {37, "KEL-5"},
    {38, "KEL-6"},
    {39, "HDCP-Produce"},
};
