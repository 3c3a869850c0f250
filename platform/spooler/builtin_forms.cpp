#include "spooler/builtin_forms.h"

namespace kq {

namespace {

constexpr LONG Inch(double inches) { return static_cast<LONG>(inches * 25400 + 0.5); }
constexpr LONG Mm(LONG mm) { return mm * 1000; }

// Paper sizes 48 and 49 have no paper of their own; their slots keep the numbering of the forms after them.
constexpr BuiltinForm kForms[] = {
    {u"Letter", Inch(8.5), Inch(11)},                          // 1
    {u"Letter Small", Inch(8.5), Inch(11)},                    // 2
    {u"Tabloid", Inch(11), Inch(17)},                          // 3
    {u"Ledger", Inch(17), Inch(11)},                           // 4
    {u"Legal", Inch(8.5), Inch(14)},                           // 5
    {u"Statement", Inch(5.5), Inch(8.5)},                      // 6
    {u"Executive", Inch(7.25), Inch(10.5)},                    // 7
    {u"A3", Mm(297), Mm(420)},                                 // 8
    {u"A4", Mm(210), Mm(297)},                                 // 9
    {u"A4 Small", Mm(210), Mm(297)},                           // 10
    {u"A5", Mm(148), Mm(210)},                                 // 11
    {u"B4 (JIS)", Mm(257), Mm(364)},                           // 12
    {u"B5 (JIS)", Mm(182), Mm(257)},                           // 13
    {u"Folio", Inch(8.5), Inch(13)},                           // 14
    {u"Quarto", Mm(215), Mm(275)},                             // 15
    {u"10x14", Inch(10), Inch(14)},                            // 16
    {u"11x17", Inch(11), Inch(17)},                            // 17
    {u"Note", Inch(8.5), Inch(11)},                            // 18
    {u"Envelope #9", Inch(3.875), Inch(8.875)},                // 19
    {u"Envelope #10", Inch(4.125), Inch(9.5)},                 // 20
    {u"Envelope #11", Inch(4.5), Inch(10.375)},                // 21
    {u"Envelope #12", Inch(4.75), Inch(11)},                   // 22
    {u"Envelope #14", Inch(5), Inch(11.5)},                    // 23
    {u"C size sheet", Inch(17), Inch(22)},                     // 24
    {u"D size sheet", Inch(22), Inch(34)},                     // 25
    {u"E size sheet", Inch(34), Inch(44)},                     // 26
    {u"Envelope DL", Mm(110), Mm(220)},                        // 27
    {u"Envelope C5", Mm(162), Mm(229)},                        // 28
    {u"Envelope C3", Mm(324), Mm(458)},                        // 29
    {u"Envelope C4", Mm(229), Mm(324)},                        // 30
    {u"Envelope C6", Mm(114), Mm(162)},                        // 31
    {u"Envelope C65", Mm(114), Mm(229)},                       // 32
    {u"Envelope B4", Mm(250), Mm(353)},                        // 33
    {u"Envelope B5", Mm(176), Mm(250)},                        // 34
    {u"Envelope B6", Mm(176), Mm(125)},                        // 35
    {u"Envelope", Mm(110), Mm(230)},                           // 36
    {u"Envelope Monarch", Inch(3.875), Inch(7.5)},             // 37
    {u"6 3/4 Envelope", Inch(3.625), Inch(6.5)},               // 38
    {u"US Std Fanfold", Inch(14.875), Inch(11)},               // 39
    {u"German Std Fanfold", Inch(8.5), Inch(12)},              // 40
    {u"German Legal Fanfold", Inch(8.5), Inch(13)},            // 41
    {u"B4 (ISO)", Mm(250), Mm(353)},                           // 42
    {u"Japanese Postcard", Mm(100), Mm(148)},                  // 43
    {u"9x11", Inch(9), Inch(11)},                              // 44
    {u"10x11", Inch(10), Inch(11)},                            // 45
    {u"15x11", Inch(15), Inch(11)},                            // 46
    {u"Envelope Invite", Mm(220), Mm(220)},                    // 47
    {u"Reserved48", Inch(8.5), Inch(11)},                      // 48
    {u"Reserved49", Inch(8.5), Inch(11)},                      // 49
    {u"Letter Extra", Inch(9.5), Inch(12)},                    // 50
    {u"Legal Extra", Inch(9.5), Inch(15)},                     // 51
    {u"Tabloid Extra", Inch(11.69), Inch(18)},                 // 52
    {u"A4 Extra", Inch(9.27), Inch(12.69)},                    // 53
    {u"Letter Transverse", Inch(8.5), Inch(11)},               // 54
    {u"A4 Transverse", Mm(210), Mm(297)},                      // 55
    {u"Letter Extra Transverse", Inch(9.5), Inch(12)},         // 56
    {u"Super A", Mm(227), Mm(356)},                            // 57
    {u"Super B", Mm(305), Mm(487)},                            // 58
    {u"Letter Plus", Inch(8.5), Inch(12.69)},                  // 59
    {u"A4 Plus", Mm(210), Mm(330)},                            // 60
    {u"A5 Transverse", Mm(148), Mm(210)},                      // 61
    {u"B5 (JIS) Transverse", Mm(182), Mm(257)},                // 62
    {u"A3 Extra", Mm(322), Mm(445)},                           // 63
    {u"A5 Extra", Mm(174), Mm(235)},                           // 64
    {u"B5 (ISO) Extra", Mm(201), Mm(276)},                     // 65
    {u"A2", Mm(420), Mm(594)},                                 // 66
    {u"A3 Transverse", Mm(297), Mm(420)},                      // 67
    {u"A3 Extra Transverse", Mm(322), Mm(445)},                // 68
    {u"Japanese Double Postcard", Mm(200), Mm(148)},           // 69
    {u"A6", Mm(105), Mm(148)},                                 // 70
    {u"Japanese Envelope Kaku #2", Mm(240), Mm(332)},          // 71
    {u"Japanese Envelope Kaku #3", Mm(216), Mm(277)},          // 72
    {u"Japanese Envelope Chou #3", Mm(120), Mm(235)},          // 73
    {u"Japanese Envelope Chou #4", Mm(90), Mm(205)},           // 74
    {u"Letter Rotated", Inch(11), Inch(8.5)},                  // 75
    {u"A3 Rotated", Mm(420), Mm(297)},                         // 76
    {u"A4 Rotated", Mm(297), Mm(210)},                         // 77
    {u"A5 Rotated", Mm(210), Mm(148)},                         // 78
    {u"B4 (JIS) Rotated", Mm(364), Mm(257)},                   // 79
    {u"B5 (JIS) Rotated", Mm(257), Mm(182)},                   // 80
    {u"Japanese Postcard Rotated", Mm(148), Mm(100)},          // 81
    {u"Double Japan Postcard Rotated", Mm(148), Mm(200)},      // 82
    {u"A6 Rotated", Mm(148), Mm(105)},                         // 83
    {u"Japanese Envelope Kaku #2 Rotated", Mm(332), Mm(240)},  // 84
    {u"Japanese Envelope Kaku #3 Rotated", Mm(277), Mm(216)},  // 85
    {u"Japanese Envelope Chou #3 Rotated", Mm(235), Mm(120)},  // 86
    {u"Japanese Envelope Chou #4 Rotated", Mm(205), Mm(90)},   // 87
    {u"B6 (JIS)", Mm(128), Mm(182)},                           // 88
    {u"B6 (JIS) Rotated", Mm(182), Mm(128)},                   // 89
    {u"12x11", Inch(12), Inch(11)},                            // 90
    {u"Japanese Envelope You #4", Mm(105), Mm(235)},           // 91
    {u"Japanese Envelope You #4 Rotated", Mm(235), Mm(105)},   // 92
    {u"PRC 16K", Mm(146), Mm(215)},                            // 93
    {u"PRC 32K", Mm(97), Mm(151)},                             // 94
    {u"PRC 32K(Big)", Mm(97), Mm(151)},                        // 95
    {u"PRC Envelope #1", Mm(102), Mm(165)},                    // 96
    {u"PRC Envelope #2", Mm(102), Mm(176)},                    // 97
    {u"PRC Envelope #3", Mm(125), Mm(176)},                    // 98
    {u"PRC Envelope #4", Mm(110), Mm(208)},                    // 99
    {u"PRC Envelope #5", Mm(110), Mm(220)},                    // 100
    {u"PRC Envelope #6", Mm(120), Mm(230)},                    // 101
    {u"PRC Envelope #7", Mm(160), Mm(230)},                    // 102
    {u"PRC Envelope #8", Mm(120), Mm(309)},                    // 103
    {u"PRC Envelope #9", Mm(229), Mm(324)},                    // 104
    {u"PRC Envelope #10", Mm(324), Mm(458)},                   // 105
    {u"PRC 16K Rotated", Mm(215), Mm(146)},                    // 106
    {u"PRC 32K Rotated", Mm(151), Mm(97)},                     // 107
    {u"PRC 32K(Big) Rotated", Mm(151), Mm(97)},                // 108
    {u"PRC Envelope #1 Rotated", Mm(165), Mm(102)},            // 109
    {u"PRC Envelope #2 Rotated", Mm(176), Mm(102)},            // 110
    {u"PRC Envelope #3 Rotated", Mm(176), Mm(125)},            // 111
    {u"PRC Envelope #4 Rotated", Mm(208), Mm(110)},            // 112
    {u"PRC Envelope #5 Rotated", Mm(220), Mm(110)},            // 113
    {u"PRC Envelope #6 Rotated", Mm(230), Mm(120)},            // 114
    {u"PRC Envelope #7 Rotated", Mm(230), Mm(160)},            // 115
    {u"PRC Envelope #8 Rotated", Mm(309), Mm(120)},            // 116
    {u"PRC Envelope #9 Rotated", Mm(324), Mm(229)},            // 117
    {u"PRC Envelope #10 Rotated", Mm(458), Mm(324)},           // 118
};

static_assert(std::size(kForms) == 118);
static_assert(kForms[0].width == 215900 && kForms[0].height == 279400);
static_assert(kForms[51].width == 296926 && kForms[52].height == 322326);

}  // namespace

std::span<const BuiltinForm> BuiltinForms() { return kForms; }

}  // namespace kq
