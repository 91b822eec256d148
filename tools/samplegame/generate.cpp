// qsample: writes the stand-in for the game's files that the sample build
// packs into the installer. The two programs named on the command line go in
// as they are; everything else is generated with the sizes, formats and
// compressibility of real game data, so that the installer's copying,
// progress and disk-space figures behave as they will with the publisher's
// files.
//
// Every byte comes from the tables below and integer arithmetic seeded by the
// file names (no floating point, no clock): the same two programs always give
// the same files.
//
// Usage: qsample OUTDIR QUARNEL_EXE UNINSTALL_EXE
//        qsample --manifest MANIFEST
// The second form writes only the manifest, the same bytes as the first form
// writes beside the files: the uninstaller's list of files is made from it
// before the uninstaller, itself one of the files, exists.

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint64_t kTotalBytes = 20951292;  // every file, the programs included
constexpr uint32_t kLargestSize = 2816000;  // GAMEBIN\stage2.cur, and nothing else as large
constexpr uint32_t kSmallestSize = 108;     // GAMEBIN\game.cfg, and nothing else as small
constexpr uint32_t kRunTime = 0;            // size known only when run: the programs and the filler
constexpr uint32_t kSampleRate = 22050;

enum class Kind : uint8_t {
    Program,   // arg: which command-line program
    Text,      // label: the bytes, size of them
    Wave,      // arg: sound recipe
    Level,     // arg: stage number, label: stage title
    Bitmap,    // arg: width, label: caption or null
    Palette,   // arg: theme
    Font,      // arg: scale of the 8x8 cell
    Sprites,   // arg: sprite set
    Tiles,     // the filler: any size
    Music,     // arg: tempo
    Demo,      // arg: stage number
    SineTable,
    Scores,
};

struct Entry {
    const char* name;
    Kind kind;
    uint32_t size;
    uint32_t arg;
    const char* label;
};

// ---------------------------------------------------------------------------
// Fixed texts

constexpr char kReadme[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\r\n"
    "{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}\r\n"
    "{\\colortbl;\\red24\\green40\\blue112;\\red96\\green96\\blue96;}\r\n"
    "\\viewkind4\\uc1\\pard\\sa120\\f0\\fs20\r\n"
    "{\\b\\fs36\\cf1 Quarnel}\\par\r\n"
    "{\\i Sixteen stages of caverns, crystals and clockwork.}\\par\r\n"
    "\\par\r\n"
    "{\\b\\fs24\\cf1 About the game}\\par\r\n"
    "The mines of Quarnel have gone quiet. Guide the last surveyor down through sixteen stages of "
    "collapsing tunnels, flooded halls and machine rooms, gather the crystals that keep the lamps "
    "burning and find the lift to the next level before the air runs out. Two hidden bonus stages "
    "wait for those who collect every crystal.\\par\r\n"
    "\\par\r\n"
    "{\\b\\fs24\\cf1 Starting Quarnel}\\par\r\n"
    "Open the {\\b Quarnel} program group on the Start menu and choose {\\b Quarnel}, or double-click "
    "the {\\b Quarnel} icon on the desktop. You can also run {\\f1 quarnel.exe} in the folder where "
    "Quarnel was installed.\\par\r\n"
    "\\par\r\n"
    "{\\b\\fs24\\cf1 Controls}\\par\r\n"
    "\\pard\\li360\\sa60\r\n"
    "Left and Right arrows\\tab walk\\par\r\n"
    "Up and Down arrows\\tab climb ladders, enter doors\\par\r\n"
    "Space\\tab jump\\par\r\n"
    "Ctrl\\tab use the lamp\\par\r\n"
    "P\\tab pause\\par\r\n"
    "F2\\tab sound on or off\\par\r\n"
    "Esc\\tab menu; press it twice to leave the game\\par\r\n"
    "\\pard\\sa120\r\n"
    "A joystick or gamepad works too; choose {\\b Options, Controls} in the menu.\\par\r\n"
    "\\par\r\n"
    "{\\b\\fs24\\cf1 Saving}\\par\r\n"
    "Quarnel remembers the last stage you reached. Settings are kept in {\\f1 GAMEBIN\\\\game.cfg}; "
    "delete that file to return to the defaults.\\par\r\n"
    "\\par\r\n"
    "{\\b\\fs24\\cf1 Removing Quarnel}\\par\r\n"
    "Choose {\\b Uninstall} in the {\\b Quarnel} program group, or remove Quarnel with "
    "{\\b Add or Remove Programs} in the Control Panel.\\par\r\n"
    "\\par\r\n"
    "{\\b\\fs24\\cf1 About this copy}\\par\r\n"
    "{\\cf2 This copy was made by the sample build of Quarnel Setup. The game's files belong to "
    "its publisher and are not part of that build, so stand-ins take their place: quarnel.exe "
    "only opens a window with the game's name, and the stages, pictures, sounds and music are "
    "generated data of the real files' sizes. A release build packs the publisher's files "
    "instead.}\\par\r\n"
    "}\r\n";

constexpr char kGameCfg[] =
    "[Quarnel]\r\n"
    "Video=640x480x8\r\n"
    "Sound=1\r\n"
    "Music=1\r\n"
    "Volume=80\r\n"
    "Difficulty=2\r\n"
    "Controls=Keyboard\r\n"
    "Stage=1\r\n"
    "Lives=3\r\n";
static_assert(sizeof(kGameCfg) - 1 == kSmallestSize, "game.cfg is the smallest file");

// The game's messages: NUL-terminated, in the order the program indexes them.
constexpr char kStrings[] =
    "QSTR\0"
    "GET READY\0STAGE CLEAR\0GAME OVER\0PAUSED\0CONTINUE?\0"
    "PRESS SPACE TO START\0NEW HIGH SCORE!\0ENTER YOUR NAME\0"
    "THE LIFT IS LOCKED\0FIND ALL CRYSTALS FIRST\0AIR RUNNING LOW\0"
    "EXTRA LIFE\0BONUS STAGE\0SECRET FOUND\0TIME BONUS\0CRYSTAL BONUS\0"
    "START GAME\0OPTIONS\0HIGH SCORES\0CREDITS\0QUIT\0"
    "SOUND: ON\0SOUND: OFF\0MUSIC: ON\0MUSIC: OFF\0"
    "CONTROLS: KEYBOARD\0CONTROLS: JOYSTICK\0"
    "DIFFICULTY: EASY\0DIFFICULTY: NORMAL\0DIFFICULTY: HARD\0"
    "REALLY QUIT? (Y/N)\0THANK YOU FOR PLAYING QUARNEL\0";

// ---------------------------------------------------------------------------
// Sounds

enum class Shape : uint8_t { Square, Triangle, Sine, Saw, Noise };
enum class Decay : uint8_t { Hold, Linear, Fast };

struct NotePattern {
    int8_t notes[16];  // semitones above the base frequency
    uint8_t count;
    bool loop;         // else the last note holds
};

constexpr NotePattern kPatterns[] = {
    {{0}, 1, false},
    {{0, 5}, 2, false},                                                 // coin
    {{0, 4, 7, 12}, 4, true},                                           // crystal
    {{0, 4, 7, 12, 16, 19, 24}, 7, false},                              // power-up
    {{0, -5}, 2, true},                                                 // alarm
    {{0, 7}, 2, false},                                                 // menu select
    {{7, 4, 0, -5, -12}, 5, false},                                     // lost life
    {{0, 4, 7, 12, 7, 12}, 6, false},                                   // fanfare
    {{0, 4, 7, 12, 16, 12, 7, 4}, 8, true},                             // extra life
    {{0, 4, 7, 4, 5, 9, 12, 9, 7, 11, 14, 11, 12, 7, 4, 0}, 16, true},  // title tune
};

struct Sound {
    Shape shape;
    uint8_t bits;
    uint16_t ms;
    uint16_t freqStart, freqEnd;  // Hz, a linear sweep; for noise the rate of new values
    uint8_t pattern;              // kPatterns
    uint16_t stepMs;              // length of one pattern note
    uint8_t vibratoHz, vibratoPct;
    uint8_t attackMs;
    Decay decay;
    bool pluck;  // each pattern note fades
};

enum SoundId : uint32_t {
    kSndJump, kSndLand, kSndCoin, kSndCrystal, kSndHit, kSndExplode, kSndLaser, kSndPowerup,
    kSndDoor, kSndSwitch, kSndAlarm, kSndSplash, kSndTeleport, kSndMenu, kSndSelect, kSndLose,
    kSndWin, kSndExtra, kSndTick, kSndWind, kSndTitle,
};

constexpr Sound kSounds[] = {
    {Shape::Square, 8, 250, 300, 900, 0, 0, 0, 0, 2, Decay::Linear, false},
    {Shape::Noise, 8, 150, 2000, 400, 0, 0, 0, 0, 1, Decay::Fast, false},
    {Shape::Square, 8, 300, 988, 988, 1, 70, 0, 0, 1, Decay::Linear, false},
    {Shape::Triangle, 8, 500, 1047, 1047, 2, 60, 0, 0, 2, Decay::Linear, false},
    {Shape::Noise, 8, 200, 6000, 1500, 0, 0, 0, 0, 1, Decay::Fast, false},
    {Shape::Noise, 16, 1400, 3000, 150, 0, 0, 0, 0, 2, Decay::Fast, false},
    {Shape::Saw, 8, 400, 1800, 200, 0, 0, 0, 0, 2, Decay::Linear, false},
    {Shape::Square, 8, 900, 262, 262, 3, 110, 0, 0, 2, Decay::Hold, true},
    {Shape::Saw, 8, 700, 90, 60, 0, 0, 8, 10, 20, Decay::Linear, false},
    {Shape::Square, 8, 90, 1500, 1500, 0, 0, 0, 0, 1, Decay::Fast, false},
    {Shape::Square, 8, 1600, 880, 880, 4, 200, 0, 0, 5, Decay::Hold, false},
    {Shape::Noise, 8, 700, 5000, 800, 0, 0, 0, 0, 10, Decay::Linear, false},
    {Shape::Sine, 8, 1000, 200, 1600, 0, 0, 12, 15, 30, Decay::Linear, false},
    {Shape::Square, 8, 80, 660, 660, 0, 0, 0, 0, 1, Decay::Fast, false},
    {Shape::Triangle, 8, 150, 880, 880, 5, 60, 0, 0, 1, Decay::Linear, false},
    {Shape::Triangle, 8, 1400, 392, 392, 6, 280, 0, 0, 5, Decay::Hold, true},
    {Shape::Square, 16, 2000, 523, 523, 7, 180, 0, 0, 5, Decay::Hold, true},
    {Shape::Triangle, 8, 1000, 523, 523, 8, 60, 0, 0, 2, Decay::Linear, false},
    {Shape::Square, 8, 40, 2000, 2000, 0, 0, 0, 0, 1, Decay::Fast, false},
    {Shape::Noise, 16, 6000, 300, 300, 0, 0, 1, 60, 250, Decay::Hold, false},
    {Shape::Triangle, 16, 8000, 262, 262, 9, 250, 0, 0, 5, Decay::Hold, true},
};
constexpr uint32_t kSoundCount = sizeof(kSounds) / sizeof(kSounds[0]);

// An even count: RIFF chunks are padded to even lengths, and an even data
// chunk needs no pad byte.
constexpr uint32_t WavSamples(uint32_t id) { return kSampleRate * kSounds[id].ms / 1000 / 2 * 2; }
constexpr uint32_t WavSize(uint32_t id) { return 44 + WavSamples(id) * (kSounds[id].bits / 8u); }

// ---------------------------------------------------------------------------
// Sizes of the fixed-layout formats

constexpr uint32_t kBmpHeader = 14 + 40 + 256 * 4;
constexpr uint32_t BmpStride(uint32_t width) { return (width + 3) / 4 * 4; }
constexpr uint32_t BmpSize(uint32_t width, uint32_t height) { return kBmpHeader + BmpStride(width) * height; }

constexpr uint32_t kFontHeader = 8;
constexpr uint32_t kFontFirst = 32;
constexpr uint32_t kFontCount = 96;
constexpr uint32_t FontSize(uint32_t scale) { return kFontHeader + kFontCount * (scale * 8) * scale; }

enum SpriteSet : uint32_t { kSprPlayer, kSprEnemies, kSprItems, kSprEffects, kSprBosses };
constexpr uint32_t kSpriteHeader = 16;
constexpr uint32_t SpriteEdge(uint32_t set) { return set == kSprBosses ? 64 : 32; }
constexpr uint32_t SpriteSize(uint32_t set, uint32_t frames)
{
    return kSpriteHeader + SpriteEdge(set) * SpriteEdge(set) * frames;
}

constexpr uint32_t kSineHeader = 16;
constexpr uint32_t SineSize(uint32_t count) { return kSineHeader + 2 * count; }

constexpr uint32_t kScoreCount = 10;
constexpr uint32_t kScoreRecord = 20;
constexpr uint32_t kScoresSize = 8 + kScoreCount * kScoreRecord;

constexpr uint32_t kLevelWidth = 256;
constexpr uint32_t kLevelHeader = 64;
constexpr uint32_t kLevelMinObjects = 64 * 8;
constexpr uint32_t kLevelMinSize = kLevelHeader + 2 * kLevelWidth * 16 + kLevelMinObjects;

// ---------------------------------------------------------------------------
// The files, in archive order

constexpr Entry kFiles[] = {
    {"quarnel.exe", Kind::Program, kRunTime, 0, nullptr},
    {"uninstall.exe", Kind::Program, kRunTime, 1, nullptr},
    {"readme.rtf", Kind::Text, sizeof(kReadme) - 1, 0, kReadme},
    {"GAMEBIN\\game.cfg", Kind::Text, sizeof(kGameCfg) - 1, 0, kGameCfg},
    {"GAMEBIN\\strings.dat", Kind::Text, sizeof(kStrings), 0, kStrings},
    {"GAMEBIN\\scores.dat", Kind::Scores, kScoresSize, 0, nullptr},
    {"GAMEBIN\\sintab.dat", Kind::SineTable, SineSize(2048), 0, nullptr},
    {"GAMEBIN\\game.pal", Kind::Palette, 768, 0, nullptr},
    {"GAMEBIN\\title.pal", Kind::Palette, 768, 1, nullptr},
    {"GAMEBIN\\cave.pal", Kind::Palette, 768, 2, nullptr},
    {"GAMEBIN\\night.pal", Kind::Palette, 768, 3, nullptr},
    {"GAMEBIN\\small.fnt", Kind::Font, FontSize(1), 1, nullptr},
    {"GAMEBIN\\large.fnt", Kind::Font, FontSize(2), 2, nullptr},
    {"GAMEBIN\\score.fnt", Kind::Font, FontSize(3), 3, nullptr},
    {"GAMEBIN\\tiles.dat", Kind::Tiles, kRunTime, 0, nullptr},
    {"GAMEBIN\\player.spr", Kind::Sprites, SpriteSize(kSprPlayer, 160), kSprPlayer, nullptr},
    {"GAMEBIN\\enemies.spr", Kind::Sprites, SpriteSize(kSprEnemies, 320), kSprEnemies, nullptr},
    {"GAMEBIN\\items.spr", Kind::Sprites, SpriteSize(kSprItems, 96), kSprItems, nullptr},
    {"GAMEBIN\\effects.spr", Kind::Sprites, SpriteSize(kSprEffects, 192), kSprEffects, nullptr},
    {"GAMEBIN\\bosses.spr", Kind::Sprites, SpriteSize(kSprBosses, 48), kSprBosses, nullptr},
    {"GAMEBIN\\title.bmp", Kind::Bitmap, BmpSize(640, 480), 640, "QUARNEL"},
    {"GAMEBIN\\logo.bmp", Kind::Bitmap, BmpSize(320, 80), 320, "QUARNEL"},
    {"GAMEBIN\\gameover.bmp", Kind::Bitmap, BmpSize(320, 200), 320, "GAME OVER"},
    {"GAMEBIN\\back1.bmp", Kind::Bitmap, BmpSize(640, 400), 640, nullptr},
    {"GAMEBIN\\back2.bmp", Kind::Bitmap, BmpSize(640, 400), 640, nullptr},
    {"GAMEBIN\\back3.bmp", Kind::Bitmap, BmpSize(640, 400), 640, nullptr},
    {"GAMEBIN\\back4.bmp", Kind::Bitmap, BmpSize(640, 400), 640, nullptr},
    {"GAMEBIN\\back5.bmp", Kind::Bitmap, BmpSize(640, 400), 640, nullptr},
    {"GAMEBIN\\back6.bmp", Kind::Bitmap, BmpSize(640, 400), 640, nullptr},
    {"GAMEBIN\\stage1.cur", Kind::Level, 412160, 1, "The Old Shaft"},
    {"GAMEBIN\\stage2.cur", Kind::Level, kLargestSize, 2, "Crystal Caverns"},
    {"GAMEBIN\\stage3.cur", Kind::Level, 455872, 3, "Lamp Room"},
    {"GAMEBIN\\stage4.cur", Kind::Level, 518336, 4, "Flooded Halls"},
    {"GAMEBIN\\stage5.cur", Kind::Level, 562816, 5, "The Pump House"},
    {"GAMEBIN\\stage6.cur", Kind::Level, 626400, 6, "Rust Gallery"},
    {"GAMEBIN\\stage7.cur", Kind::Level, 569376, 7, "Cog Works"},
    {"GAMEBIN\\stage8.cur", Kind::Level, 810720, 8, "Deep Seam"},
    {"GAMEBIN\\stage9.cur", Kind::Level, 733888, 9, "Fungus Grotto"},
    {"GAMEBIN\\stage10.cur", Kind::Level, 898576, 10, "The Long Drop"},
    {"GAMEBIN\\stage11.cur", Kind::Level, 929648, 11, "Ore Furnace"},
    {"GAMEBIN\\stage12.cur", Kind::Level, 837136, 12, "Echo Chambers"},
    {"GAMEBIN\\stage13.cur", Kind::Level, 991088, 13, "Quartz Maze"},
    {"GAMEBIN\\stage14.cur", Kind::Level, 1075408, 14, "Black Lake"},
    {"GAMEBIN\\stage15.cur", Kind::Level, 1136000, 15, "The Engine"},
    {"GAMEBIN\\stage16.cur", Kind::Level, 1302240, 16, "Heart of Quarnel"},
    {"GAMEBIN\\bonus1.cur", Kind::Level, 245760, 101, "Crystal Vault"},
    {"GAMEBIN\\bonus2.cur", Kind::Level, 317440, 102, "The Surveyor's Cache"},
    {"GAMEBIN\\music1.mus", Kind::Music, 45088, 125, nullptr},
    {"GAMEBIN\\music2.mus", Kind::Music, 53280, 118, nullptr},
    {"GAMEBIN\\music3.mus", Kind::Music, 37920, 140, nullptr},
    {"GAMEBIN\\music4.mus", Kind::Music, 61472, 110, nullptr},
    {"GAMEBIN\\music5.mus", Kind::Music, 49184, 132, nullptr},
    {"GAMEBIN\\music6.mus", Kind::Music, 28704, 150, nullptr},
    {"GAMEBIN\\music7.mus", Kind::Music, 69664, 96, nullptr},
    {"GAMEBIN\\demo1.dem", Kind::Demo, 4410, 1, nullptr},
    {"GAMEBIN\\demo2.dem", Kind::Demo, 5216, 3, nullptr},
    {"GAMEBIN\\demo3.dem", Kind::Demo, 3782, 6, nullptr},
    {"GAMEBIN\\demo4.dem", Kind::Demo, 6030, 9, nullptr},
    {"GAMEBIN\\sound\\jump.wav", Kind::Wave, WavSize(kSndJump), kSndJump, nullptr},
    {"GAMEBIN\\sound\\land.wav", Kind::Wave, WavSize(kSndLand), kSndLand, nullptr},
    {"GAMEBIN\\sound\\coin.wav", Kind::Wave, WavSize(kSndCoin), kSndCoin, nullptr},
    {"GAMEBIN\\sound\\crystal.wav", Kind::Wave, WavSize(kSndCrystal), kSndCrystal, nullptr},
    {"GAMEBIN\\sound\\hit.wav", Kind::Wave, WavSize(kSndHit), kSndHit, nullptr},
    {"GAMEBIN\\sound\\explode.wav", Kind::Wave, WavSize(kSndExplode), kSndExplode, nullptr},
    {"GAMEBIN\\sound\\lamp.wav", Kind::Wave, WavSize(kSndLaser), kSndLaser, nullptr},
    {"GAMEBIN\\sound\\powerup.wav", Kind::Wave, WavSize(kSndPowerup), kSndPowerup, nullptr},
    {"GAMEBIN\\sound\\door.wav", Kind::Wave, WavSize(kSndDoor), kSndDoor, nullptr},
    {"GAMEBIN\\sound\\switch.wav", Kind::Wave, WavSize(kSndSwitch), kSndSwitch, nullptr},
    {"GAMEBIN\\sound\\alarm.wav", Kind::Wave, WavSize(kSndAlarm), kSndAlarm, nullptr},
    {"GAMEBIN\\sound\\splash.wav", Kind::Wave, WavSize(kSndSplash), kSndSplash, nullptr},
    {"GAMEBIN\\sound\\teleport.wav", Kind::Wave, WavSize(kSndTeleport), kSndTeleport, nullptr},
    {"GAMEBIN\\sound\\menu.wav", Kind::Wave, WavSize(kSndMenu), kSndMenu, nullptr},
    {"GAMEBIN\\sound\\select.wav", Kind::Wave, WavSize(kSndSelect), kSndSelect, nullptr},
    {"GAMEBIN\\sound\\lose.wav", Kind::Wave, WavSize(kSndLose), kSndLose, nullptr},
    {"GAMEBIN\\sound\\clear.wav", Kind::Wave, WavSize(kSndWin), kSndWin, nullptr},
    {"GAMEBIN\\sound\\extra.wav", Kind::Wave, WavSize(kSndExtra), kSndExtra, nullptr},
    {"GAMEBIN\\sound\\tick.wav", Kind::Wave, WavSize(kSndTick), kSndTick, nullptr},
    {"GAMEBIN\\sound\\wind.wav", Kind::Wave, WavSize(kSndWind), kSndWind, nullptr},
    {"GAMEBIN\\sound\\title.wav", Kind::Wave, WavSize(kSndTitle), kSndTitle, nullptr},
};
constexpr size_t kFileCount = sizeof(kFiles) / sizeof(kFiles[0]);

// ---------------------------------------------------------------------------
// Compile-time checks of the table

constexpr size_t CLength(const char* s)
{
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

constexpr bool CEqual(const char* a, const char* b)
{
    size_t i = 0;
    for (; a[i] && a[i] == b[i]; ++i) {
    }
    return a[i] == b[i];
}

constexpr bool CStartsWith(const char* s, const char* prefix)
{
    for (size_t i = 0; prefix[i]; ++i)
        if (s[i] != prefix[i])
            return false;
    return true;
}

constexpr bool CContains(const char* s, char c)
{
    for (; *s; ++s)
        if (*s == c)
            return true;
    return false;
}

constexpr size_t CountUnder(const char* prefix)
{
    size_t n = 0;
    for (const Entry& e : kFiles)
        if (CStartsWith(e.name, prefix) && !CContains(e.name + CLength(prefix), '\\'))
            ++n;
    return n;
}

constexpr size_t CountKind(Kind kind)
{
    size_t n = 0;
    for (const Entry& e : kFiles)
        n += e.kind == kind;
    return n;
}

constexpr bool IsFiller(const Entry& e) { return e.kind != Kind::Program && e.size == kRunTime; }

constexpr uint64_t FixedBytes()
{
    uint64_t n = 0;
    for (const Entry& e : kFiles)
        n += e.size;
    return n;
}

constexpr bool FixedSizeFits(const Entry& e)
{
    if (e.kind == Kind::Program || IsFiller(e))
        return true;
    if (CEqual(e.name, "GAMEBIN\\stage2.cur"))
        return e.size == kLargestSize;
    if (CEqual(e.name, "GAMEBIN\\game.cfg"))
        return e.size == kSmallestSize;
    return e.size > kSmallestSize && e.size < kLargestSize;
}

constexpr bool FormatFits(const Entry& e)
{
    switch (e.kind) {
    case Kind::Program: return e.size == kRunTime && e.arg < 2;
    case Kind::Tiles: return e.size == kRunTime;
    case Kind::Text: return e.label != nullptr;
    case Kind::Wave: return e.arg < kSoundCount && e.size == WavSize(e.arg);
    case Kind::Bitmap:
        return e.arg > 0 && e.size > kBmpHeader && (e.size - kBmpHeader) % BmpStride(e.arg) == 0;
    case Kind::Palette: return e.size == 768;
    case Kind::Font: return e.size == FontSize(e.arg);
    case Kind::Sprites:
        return e.size > kSpriteHeader && (e.size - kSpriteHeader) % (SpriteEdge(e.arg) * SpriteEdge(e.arg)) == 0;
    case Kind::Level: return e.size >= kLevelMinSize && e.label != nullptr;
    case Kind::SineTable: return e.size > kSineHeader && (e.size - kSineHeader) % 2 == 0;
    case Kind::Scores: return e.size == kScoresSize;
    case Kind::Music:
    case Kind::Demo: return e.size >= 256;
    }
    return false;
}

constexpr bool TableIsValid()
{
    for (const Entry& e : kFiles)
        if (CLength(e.name) == 0 || CLength(e.name) > 29 || !FixedSizeFits(e) || !FormatFits(e))
            return false;
    return true;
}

static_assert(kFileCount == 79, "the installer extracts 79 records");
static_assert(CEqual(kFiles[0].name, "quarnel.exe") && CEqual(kFiles[1].name, "uninstall.exe") &&
                  CEqual(kFiles[2].name, "readme.rtf"),
              "the archive starts with the two programs and the readme");
static_assert(CountUnder("") == 3 && CountUnder("GAMEBIN\\") == 55 && CountUnder("GAMEBIN\\sound\\") == 21,
              "3 files at the top, 55 in GAMEBIN, 21 in GAMEBIN\\sound");
static_assert(CountKind(Kind::Program) == 2 && CountKind(Kind::Tiles) == 1, "two programs and one filler");
static_assert(TableIsValid(), "every row fits its format and the smallest/largest rule");
static_assert(FixedBytes() < kTotalBytes, "the generated files leave room for the programs");
static_assert(kTotalBytes - FixedBytes() < kLargestSize, "the filler can never outgrow stage2.cur");

// ---------------------------------------------------------------------------
// Deterministic numbers

uint32_t Mix(uint64_t a, uint64_t b = 0, uint64_t c = 0)
{
    uint64_t z = a * 0x9E3779B97F4A7C15ull + b * 0xC2B2AE3D27D4EB4Full + c * 0x165667B19E3779F9ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint32_t Next()
    {
        state_ += 0x9E3779B97F4A7C15ull;
        return Mix(state_);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>((static_cast<uint64_t>(Next()) * n) >> 32); }

private:
    uint64_t state_;
};

uint64_t NameSeed(const char* name)
{
    uint64_t h = 0xCBF29CE484222325ull;
    for (const char* p = name; *p; ++p)
        h = (h ^ static_cast<uint8_t>(*p)) * 0x100000001B3ull;
    return h;
}

// sin(pi * x / 32768) * 32767 for x in [-32768, 32767], a parabola with one
// correction step (error below 0.1%).
int32_t SinQ15(int32_t x)
{
    int32_t ax = x < 0 ? -x : x;
    int32_t y = static_cast<int32_t>((4ll * x * (32768 - ax)) >> 15);  // [-32768, 32768]
    int32_t ay = y < 0 ? -y : y;
    int32_t r = y + static_cast<int32_t>((7373ll * (static_cast<int64_t>(y) * ay / 32768 - y)) >> 15);
    return r > 32767 ? 32767 : (r < -32767 ? -32767 : r);
}

// ---------------------------------------------------------------------------
// Output of one file. Writes past the size are dropped and counted: a stream
// of records simply ends with a partial one, and any other kind that
// overruns is a layout mistake.

class Writer {
public:
    Writer(Bytes& out, uint32_t size) : out_(out), size_(size)
    {
        out_.clear();
        out_.reserve(size);
    }
    uint32_t Left() const { return size_ - static_cast<uint32_t>(out_.size()); }
    bool Overran() const { return overran_; }
    void U8(uint32_t v)
    {
        if (out_.size() < size_)
            out_.push_back(static_cast<uint8_t>(v));
        else
            overran_ = true;
    }
    void U16(uint32_t v)
    {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v)
    {
        U16(v);
        U16(v >> 16);
    }
    void I16(int32_t v) { U16(static_cast<uint32_t>(v)); }
    void Raw(const void* p, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            U8(static_cast<const uint8_t*>(p)[i]);
    }
    // A NUL-padded fixed-width text field.
    void Field(const char* s, size_t width)
    {
        size_t n = std::strlen(s);
        for (size_t i = 0; i < width; ++i)
            U8(i < n ? static_cast<uint8_t>(s[i]) : 0u);
    }

private:
    Bytes& out_;
    uint32_t size_;
    bool overran_ = false;
};

constexpr bool EndsWithPartialRecord(Kind kind) { return kind == Kind::Tiles || kind == Kind::Music || kind == Kind::Demo; }

// ---------------------------------------------------------------------------
// Shared pictures: palettes and a 5x7 type face

struct Rgb {
    uint8_t r, g, b;
};
using Palette = Rgb[256];

// Index 0 is black, 1 the outline colour, 2..15 grays up to white, then 15
// ramps of 16 shades: 1 sky, 2 far hills, 3 near hills, 4 ground, 5 gold, the
// rest creature and item colours.
void ThemePalette(uint32_t theme, Palette& pal)
{
    static const Rgb kHues[4][15] = {
        {{60, 110, 220}, {70, 90, 130}, {60, 120, 70}, {130, 95, 60}, {250, 200, 80}, {220, 60, 50},
         {80, 200, 90}, {90, 140, 250}, {230, 120, 40}, {180, 80, 220}, {60, 210, 210}, {240, 240, 120},
         {200, 200, 210}, {250, 120, 170}, {150, 110, 80}},
        {{30, 40, 120}, {90, 60, 140}, {50, 40, 90}, {70, 60, 80}, {255, 210, 90}, {230, 80, 90},
         {100, 220, 200}, {120, 160, 255}, {250, 150, 60}, {200, 110, 240}, {90, 230, 240}, {250, 250, 160},
         {220, 220, 230}, {255, 150, 190}, {170, 130, 100}},
        {{40, 60, 70}, {80, 90, 90}, {60, 80, 70}, {100, 80, 60}, {240, 190, 70}, {200, 70, 40},
         {70, 180, 110}, {80, 180, 230}, {210, 110, 30}, {150, 90, 200}, {70, 220, 190}, {230, 230, 110},
         {180, 190, 190}, {230, 110, 150}, {130, 100, 70}},
        {{10, 20, 60}, {30, 40, 80}, {20, 50, 60}, {50, 50, 60}, {230, 200, 120}, {180, 60, 80},
         {60, 160, 120}, {70, 110, 220}, {200, 120, 60}, {140, 80, 190}, {60, 180, 200}, {210, 210, 140},
         {160, 170, 190}, {200, 100, 150}, {110, 90, 80}},
    };
    const Rgb* hues = kHues[theme % 4];
    pal[0] = {0, 0, 0};
    pal[1] = {16, 12, 20};
    for (uint32_t i = 2; i < 16; ++i) {
        uint8_t v = static_cast<uint8_t>((i - 1) * 255 / 14);
        pal[i] = {v, v, v};
    }
    for (uint32_t ramp = 0; ramp < 15; ++ramp) {
        const Rgb& c = hues[ramp];
        for (uint32_t s = 0; s < 16; ++s) {
            // Dark to full colour over 12 shades, then towards white.
            auto shade = [s](uint32_t v) {
                if (s < 12)
                    return static_cast<uint8_t>(v * (s + 3) / 15);
                return static_cast<uint8_t>(v + (255 - v) * (s - 11) / 6);
            };
            pal[16 + ramp * 16 + s] = {shade(c.r), shade(c.g), shade(c.b)};
        }
    }
}

constexpr char kGlyphChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ.,!?:-'/";
constexpr uint8_t kGlyphRows[][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}, {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08},
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04}, {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04},
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}, {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00},
    {0x0C, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00},
};
static_assert(sizeof(kGlyphRows) / sizeof(kGlyphRows[0]) == sizeof(kGlyphChars) - 1, "one glyph a character");

// Rows of the 5x7 glyph of c (bit 4 the left column); lower case uses the
// capitals, a space is blank and anything else is a hollow box.
void Glyph(char c, uint8_t rows[7])
{
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    const char* p = c ? std::strchr(kGlyphChars, c) : nullptr;
    for (int i = 0; i < 7; ++i) {
        if (p)
            rows[i] = kGlyphRows[p - kGlyphChars][i];
        else if (c == ' ')
            rows[i] = 0;
        else
            rows[i] = (i == 0 || i == 6) ? 0x1F : 0x11;
    }
}

// ---------------------------------------------------------------------------
// Generators, one a kind

void GenText(const Entry& e, Writer& w) { w.Raw(e.label, e.size); }

void GenWave(const Entry& e, Writer& w)
{
    const Sound& snd = kSounds[e.arg];
    const NotePattern& pat = kPatterns[snd.pattern];
    const uint32_t bytes = snd.bits / 8u;
    const int64_t n = WavSamples(e.arg);
    w.Raw("RIFF", 4);
    w.U32(e.size - 8);
    w.Raw("WAVEfmt ", 8);
    w.U32(16);
    w.U16(1);  // PCM
    w.U16(1);  // mono
    w.U32(kSampleRate);
    w.U32(kSampleRate * bytes);
    w.U16(bytes);
    w.U16(snd.bits);
    w.Raw("data", 4);
    w.U32(static_cast<uint32_t>(n) * bytes);

    // Frequency ratios of the semitones of one octave, Q16.
    static const int64_t kSemitone[12] = {65536, 69433, 73562, 77936, 82570, 87480,
                                          92682, 98193, 104032, 110218, 116772, 123715};
    const int64_t step = snd.stepMs ? int64_t{kSampleRate} * snd.stepMs / 1000 : n;
    const int64_t attack = std::max<int64_t>(1, int64_t{kSampleRate} * snd.attackMs / 1000);
    const int64_t release = kSampleRate / 50;
    Rng rng(NameSeed(e.name));
    uint32_t phase = 0, lfoPhase = 0;
    int32_t held = 0, smooth = 0;
    for (int64_t t = 0; t < n; ++t) {
        int64_t note = t / step;
        if (note >= pat.count)
            note = pat.loop ? note % pat.count : pat.count - 1;
        int32_t semis = pat.notes[note];
        int32_t octave = semis >= 0 ? semis / 12 : -((11 - semis) / 12);
        int64_t ratio = kSemitone[static_cast<size_t>(semis - octave * 12)];
        ratio = octave >= 0 ? ratio << octave : ratio >> -octave;

        int64_t milliHz = (int64_t{snd.freqStart} * (n - t) + int64_t{snd.freqEnd} * t) * 1000 / n;
        milliHz = milliHz * ratio >> 16;
        if (snd.vibratoHz) {
            lfoPhase += static_cast<uint32_t>((uint64_t{snd.vibratoHz} << 32) / kSampleRate);
            int64_t lfo = SinQ15(static_cast<int32_t>(lfoPhase) >> 16);
            milliHz += milliHz * snd.vibratoPct * lfo / (100 * 32768);
        }
        uint32_t prev = phase;
        phase += static_cast<uint32_t>((milliHz << 32) / (int64_t{kSampleRate} * 1000));

        // Every shape peaks near 3/4 of full scale, leaving headroom.
        int32_t v = 0;
        int32_t x = static_cast<int32_t>(phase) >> 16;  // [-32768, 32767]
        switch (snd.shape) {
        case Shape::Square: v = phase < 0x80000000u ? 24000 : -24000; break;
        case Shape::Saw: v = x * 3 / 4; break;
        case Shape::Sine: v = SinQ15(x) * 3 / 4; break;
        case Shape::Triangle: v = ((x < 0 ? -x : x) * 2 - 32768) * 3 / 4; break;
        case Shape::Noise:
            if (phase < prev)
                held = static_cast<int32_t>(rng.Below(49152)) - 24576;
            smooth += (held - smooth) / 3;
            v = smooth;
            break;
        }

        int64_t env = 32768;
        if (t < attack)
            env = env * t / attack;
        switch (snd.decay) {
        case Decay::Hold:
            if (n - t < release)
                env = env * (n - t) / release;
            break;
        case Decay::Linear: env = env * (n - t) / n; break;
        case Decay::Fast: env = env * (n - t) / n * (n - t) / n; break;
        }
        if (snd.pluck)
            env = env * (4 * step - 3 * (t % step)) / (4 * step);
        int64_t s = v * env / 32768;
        if (bytes == 1)
            w.U8(static_cast<uint32_t>(128 + s / 256));
        else
            w.I16(static_cast<int32_t>(s));
    }
}

// A stage: 64-byte header, a background layer and a collision layer of
// kLevelWidth columns, then 8-byte object records to the end.
void GenLevel(const Entry& e, Writer& w)
{
    const uint32_t height = (e.size - kLevelHeader - kLevelMinObjects) / (2 * kLevelWidth);
    const uint32_t objects = (e.size - kLevelHeader - 2 * kLevelWidth * height) / 8;
    const uint64_t seed = NameSeed(e.name);
    const uint32_t stage = e.arg;
    const uint32_t tileset = stage > 100 ? 4 : (stage - 1) / 4;
    // Later stages are busier: more decoration, more pickups.
    const uint32_t decoPermille = 30 + 4 * (stage % 100);

    w.Raw("QLVL", 4);
    w.U16(3);  // version
    w.U16(kLevelWidth);
    w.U16(height);
    w.U16(2);  // layers
    w.U16(stage);
    w.U16(tileset);
    w.U16(120 + 15 * (stage % 100));  // par time, seconds
    w.U16(stage > 100 ? 0 : 3 + stage / 5);  // crystals needed, in tens
    w.U32(objects);
    w.U32(kLevelHeader + 2 * kLevelWidth * height);
    w.Field(e.label, 32);
    w.U32(static_cast<uint32_t>(seed));

    auto room = [&](uint32_t x, uint32_t y) { return Mix(seed, x / 32, y / 16); };
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < kLevelWidth; ++x) {
            uint32_t r = room(x, y), lx = x % 32, ly = y % 16;
            uint32_t tile;
            bool door = (lx == 0 && ly >= 6 && ly < 10 && (r & 1)) || (ly == 0 && lx >= 13 && lx < 18 && (r & 2));
            if ((lx == 0 || ly == 0) && !door) {
                tile = 1 + (r >> 8) % 3;
            } else {
                switch ((r >> 2) % 4) {
                case 0: tile = 16; break;
                case 1: tile = 17 + ((lx + ly) & 1); break;
                case 2: tile = ((ly & 1) ? lx % 4 == 2 : lx % 4 == 0) ? 20 : 21; break;
                default: tile = (lx % 4 == 0 || ly % 4 == 0) ? 24 : 25; break;
                }
                uint32_t h = Mix(seed ^ 0xDEC0, x, y);
                if (h % 1000 < decoPermille)
                    tile = 32 + (h >> 12) % 48;
            }
            w.U8(tileset * 96 + tile);
        }
    }
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < kLevelWidth; ++x) {
            uint32_t r = room(x, y), lx = x % 32, ly = y % 16;
            uint32_t platStart = 2 + (r >> 4) % 12, platEnd = platStart + 6 + (r >> 9) % 12;
            uint32_t ladder = 3 + (r >> 14) % 26;
            uint32_t cell = 0;
            if (lx == 0 || ly == 0)
                cell = 1;  // solid
            else if (ly == 11 && lx >= platStart && lx < platEnd)
                cell = 2;  // platform
            else if (lx == ladder && ly > 3 && ly < 15)
                cell = 3;  // ladder
            else if (ly == 15 && (r >> 20) % 5 == 0 && lx > 8 && lx < 20)
                cell = 5;  // water
            else {
                uint32_t h = Mix(seed ^ 0x17E, x, y);
                if (h % 1000 < 10 + stage % 100)
                    cell = 8 + (h >> 12) % 8;  // pickup
            }
            w.U8(cell);
        }
    }
    Rng rng(seed);
    for (uint32_t i = 0; i < objects; ++i) {
        w.U16(rng.Below(kLevelWidth * 8));
        w.U16(rng.Below(height * 8));
        w.U8(1 + rng.Below(24));  // type
        w.U8(rng.Below(4));       // facing
        w.U16(rng.Below(8) * 30);  // delay, frames
    }
    while (w.Left())
        w.U8(0xFF);
}

void GenBitmap(const Entry& e, Writer& w)
{
    const uint32_t width = e.arg, stride = BmpStride(width);
    const uint32_t height = (e.size - kBmpHeader) / stride;
    const uint64_t seed = NameSeed(e.name);
    Palette pal;
    ThemePalette(static_cast<uint32_t>(seed % 4), pal);

    // Top row first while drawing; the file is bottom-up.
    std::vector<uint8_t> px(static_cast<size_t>(stride) * height, 0);
    static const uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const uint32_t far = height * (45 + seed % 10) / 100, near = height * (62 + seed % 8) / 100;
    const uint32_t ground = height * 86 / 100;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            // Two rows of hills: slow waves across the width.
            int32_t waveFar = SinQ15(static_cast<int32_t>((x * 97 + seed) % 65536) - 32768);
            int32_t waveNear = SinQ15(static_cast<int32_t>((x * 241 + (seed >> 8)) % 65536) - 32768);
            uint32_t hFar = static_cast<uint32_t>(static_cast<int32_t>(far) + waveFar * static_cast<int32_t>(height) / 16 / 32768);
            uint32_t hNear =
                static_cast<uint32_t>(static_cast<int32_t>(near) + waveNear * static_cast<int32_t>(height) / 24 / 32768);
            uint32_t h = Mix(seed, x, y);
            uint32_t c;
            if (y >= ground) {
                c = 64 + 4 + ((x / 8 + y / 8) % 2) * 3 + h % 3;
            } else if (y >= hNear) {
                c = 48 + 3 + (y - hNear) * 8 / (ground - hNear + 1) + (h % 16 == 0);
            } else if (y >= hFar) {
                c = 32 + 5 + (y - hFar) * 5 / (hNear - hFar + 1);
            } else {
                // Sky: 12 shades over the height, ordered dither between them.
                uint32_t level = y * 12 * 16 / (hFar + 1);
                c = 16 + 2 + level / 16 + ((level % 16) > kBayer[y % 4][x % 4]);
                if (y < far / 2 && h % 613 == 0)
                    c = 15;  // star
            }
            px[static_cast<size_t>(y) * stride + x] = static_cast<uint8_t>(c);
        }
    }
    if (e.label) {
        const size_t len = std::strlen(e.label);
        const uint32_t scale = std::max<uint32_t>(1, width / (static_cast<uint32_t>(len) * 6 + 2));
        const uint32_t textW = static_cast<uint32_t>(len) * 6 * scale, textH = 7 * scale;
        const uint32_t x0 = (width - textW) / 2, y0 = height > textH * 3 ? height / 4 : (height - textH) / 2;
        for (size_t i = 0; i < len; ++i) {
            uint8_t rows[7];
            Glyph(e.label[i], rows);
            for (uint32_t gy = 0; gy < textH + scale / 2; ++gy) {
                for (uint32_t gx = 0; gx < 5 * scale + scale / 2; ++gx) {
                    auto on = [&](uint32_t cx, uint32_t cy) {
                        return cx < 5 * scale && cy < textH && (rows[cy / scale] >> (4 - cx / scale) & 1);
                    };
                    uint32_t px0 = x0 + static_cast<uint32_t>(i) * 6 * scale + gx, py0 = y0 + gy;
                    if (px0 >= width || py0 >= height)
                        continue;
                    uint8_t& p = px[static_cast<size_t>(py0) * stride + px0];
                    if (on(gx, gy))
                        p = static_cast<uint8_t>(80 + 3 + gy * 12 / textH);  // gold, lighter downwards
                    else if (gx >= scale / 2 && gy >= scale / 2 && on(gx - scale / 2, gy - scale / 2))
                        p = 1;  // shadow
                }
            }
        }
    }

    w.Raw("BM", 2);
    w.U32(e.size);
    w.U32(0);
    w.U32(kBmpHeader);
    w.U32(40);
    w.U32(width);
    w.U32(height);
    w.U16(1);
    w.U16(8);
    w.U32(0);  // BI_RGB
    w.U32(stride * height);
    w.U32(2835);  // 72 dpi
    w.U32(2835);
    w.U32(256);
    w.U32(0);
    for (const Rgb& c : pal) {
        w.U8(c.b);
        w.U8(c.g);
        w.U8(c.r);
        w.U8(0);
    }
    for (uint32_t y = height; y-- > 0;)
        w.Raw(&px[static_cast<size_t>(y) * stride], stride);
}

// 256 entries of 6-bit VGA RGB.
void GenPalette(const Entry& e, Writer& w)
{
    Palette pal;
    ThemePalette(e.arg, pal);
    for (const Rgb& c : pal) {
        w.U8(c.r >> 2);
        w.U8(c.g >> 2);
        w.U8(c.b >> 2);
    }
}

// 1-bit glyphs of an (8*scale)-pixel square cell, rows of whole bytes.
void GenFont(const Entry& e, Writer& w)
{
    const uint32_t scale = e.arg, cell = 8 * scale;
    w.Raw("QFNT", 4);
    w.U8(cell);
    w.U8(cell);
    w.U8(kFontFirst);
    w.U8(kFontCount);
    for (uint32_t ch = kFontFirst; ch < kFontFirst + kFontCount; ++ch) {
        uint8_t rows[7];
        Glyph(static_cast<char>(ch), rows);
        for (uint32_t y = 0; y < cell; ++y) {
            uint32_t bits = 0;
            for (uint32_t x = 0; x < cell; ++x) {
                uint32_t gx = x / scale, gy = y / scale;
                bool on = gx >= 1 && gx < 6 && gy < 7 && (rows[gy] >> (5 - gx) & 1);
                bits = bits << 1 | on;
            }
            for (uint32_t b = scale; b-- > 0;)
                w.U8(bits >> (8 * b));
        }
    }
}

// Frames of edge x edge pixels, 8 frames an animation; 0 is transparent and
// 1 the outline.
void GenSprites(const Entry& e, Writer& w)
{
    const uint32_t edge = SpriteEdge(e.arg);
    const uint32_t frames = (e.size - kSpriteHeader) / (edge * edge);
    w.Raw("QSPR", 4);
    w.U16(frames);
    w.U16(edge);
    w.U16(edge);
    w.U16(8);
    w.U32(e.arg);

    std::vector<uint8_t> inside(edge * edge), px(edge * edge);
    const int32_t c = static_cast<int32_t>(edge / 2);
    for (uint32_t f = 0; f < frames; ++f) {
        const uint32_t anim = f / 8, step = f % 8;
        const uint32_t shape = (anim + e.arg * 3) % 5;
        const uint32_t ramp = 1 + Mix(e.arg, anim) % 15;
        // Bounce: a little taller, then squashed.
        const int32_t bob = SinQ15(static_cast<int32_t>(step * 8192) - 32768) / 8192;
        const int32_t r = static_cast<int32_t>(edge) * 3 / 8;
        const int32_t rx = r + (bob > 0 ? bob : 0), ry = r - (bob > 0 ? bob : 0);
        for (uint32_t y = 0; y < edge; ++y) {
            for (uint32_t x = 0; x < edge; ++x) {
                int32_t dx = static_cast<int32_t>(x) - c, dy = static_cast<int32_t>(y) - c - bob;
                bool in = false;
                switch (shape) {
                case 0: in = dx * dx * ry * ry + dy * dy * rx * rx <= rx * rx * ry * ry; break;  // ball
                case 1: in = std::abs(dx) * ry + std::abs(dy) * rx <= rx * ry; break;              // crystal
                case 2: in = std::abs(dx) <= rx - 2 && std::abs(dy) <= ry - 2; break;              // crate
                case 3: {  // spark: rays growing with the step
                    int32_t len = r * static_cast<int32_t>(step + 2) / 9;
                    in = (dx == 0 || dy == 0 || std::abs(dx) == std::abs(dy)) &&
                         std::abs(dx) <= len && std::abs(dy) <= len;
                    break;
                }
                default:  // creature: body with walking legs
                    in = (dx * dx + dy * dy * 2 <= r * r) ||
                         (dy > 0 && dy < r + 2 &&
                          (std::abs(dx - r / 2 + bob) <= 1 || std::abs(dx + r / 2 - bob) <= 1));
                    break;
                }
                inside[y * edge + x] = in;
            }
        }
        for (uint32_t y = 0; y < edge; ++y) {
            for (uint32_t x = 0; x < edge; ++x) {
                int32_t dx = static_cast<int32_t>(x) - c + r / 3, dy = static_cast<int32_t>(y) - c + r / 3;
                uint32_t p = 0;
                if (inside[y * edge + x]) {
                    // Lit from the upper left, with a little grain.
                    int32_t d = (dx * dx + dy * dy) * 14 / (r * r * 2);
                    int32_t shade = 15 - std::min(d, 13) - static_cast<int32_t>(Mix(f, x, y) % 5 == 0);
                    p = 16 * ramp + static_cast<uint32_t>(std::max(shade, 0));
                    if (shape == 2 && (x % 8 == 0 || y % 8 == 0))
                        p = 16 * ramp + 4;  // crate planks
                } else if ((x > 0 && inside[y * edge + x - 1]) || (x + 1 < edge && inside[y * edge + x + 1]) ||
                           (y > 0 && inside[(y - 1) * edge + x]) || (y + 1 < edge && inside[(y + 1) * edge + x])) {
                    p = 1;
                }
                px[y * edge + x] = static_cast<uint8_t>(p);
            }
        }
        if (shape == 4) {  // eyes
            for (int32_t side = -1; side <= 1; side += 2) {
                uint32_t ex = static_cast<uint32_t>(c + side * r / 3), ey = static_cast<uint32_t>(c - r / 3 + bob);
                px[ey * edge + ex] = 15;
                px[ey * edge + ex + 1] = 15;
                px[(ey + 1) * edge + ex] = 15;
                px[(ey + 1) * edge + ex + 1] = 1;
            }
        }
        w.Raw(px.data(), px.size());
    }
}

// 16x16 tiles in groups of 16 of one material; the last tile may be cut short
// (this file takes up the slack of the total size).
void GenTiles(const Entry& e, Writer& w)
{
    const uint32_t count = (w.Left() - 16) / 256;
    w.Raw("QTIL", 4);
    w.U16(std::min<uint32_t>(count, 0xFFFF));
    w.U8(16);
    w.U8(16);
    w.U32(static_cast<uint32_t>(NameSeed(e.name)));
    w.U32(0);
    for (uint32_t t = 0; w.Left(); ++t) {
        const uint32_t material = (t / 16) % 6, variant = t % 16;
        const uint32_t ramp = 16 * (1 + (t / 16) % 15);
        for (uint32_t y = 0; y < 16; ++y) {
            for (uint32_t x = 0; x < 16; ++x) {
                uint32_t h = Mix(t, x, y), p;
                switch (material) {
                case 0:  // bricks
                    p = (y % 8 == 7 || (x + (y / 8) * 8 + variant) % 16 == 0) ? 3 : ramp + 6 + h % 4;
                    break;
                case 1:  // rough stone
                    p = ramp + 4 + (h % 7) + (x + y + variant) % 3;
                    break;
                case 2:  // grass over earth
                    p = y < 3 + (h % 3) ? 16 * 7 + 8 + h % 4 : ramp + 3 + (h % 5);
                    break;
                case 3:  // water, one animation frame a variant
                    p = 16 * 8 + 6 +
                        static_cast<uint32_t>(SinQ15(static_cast<int32_t>((x * 4096 + variant * 4096 + y * 2048) % 65536) - 32768) /
                                                  8192 + 4);
                    break;
                case 4:  // metal plate with rivets
                    p = ((x == 2 || x == 13) && (y == 2 || y == 13)) ? 15 : (x == 0 || y == 0) ? 12 : 8 + (h % 16 == 0);
                    break;
                default:  // planks
                    p = (y % 4 == 0) ? 16 * 15 + 2 : 16 * 15 + 6 + (x + variant * 3) % 5 / 2 + (h % 9 == 0);
                    break;
                }
                w.U8(p);
            }
        }
    }
}

// Tracker-style music: 8 instruments, an order list and patterns of 64 rows
// of 4 channels of (note, instrument, volume, effect).
void GenMusic(const Entry& e, Writer& w)
{
    constexpr uint32_t kHeader = 32, kInstruments = 8, kInstrumentBytes = 16, kOrder = 32;
    const uint32_t patterns = (e.size - kHeader - kInstruments * kInstrumentBytes - kOrder) / 1024;
    const uint64_t seed = NameSeed(e.name);
    w.Raw("QMUS", 4);
    w.U16(1);
    w.U8(4);   // channels
    w.U8(64);  // rows a pattern
    w.U16(e.arg);
    w.U16(6);  // ticks a row
    w.U16(patterns);
    w.U16(kOrder);
    w.Field("", kHeader - 16);
    static const char* const kNames[kInstruments] = {"bass", "lead", "pad", "kick", "snare", "hihat", "bell", "organ"};
    for (uint32_t i = 0; i < kInstruments; ++i) {
        w.Field(kNames[i], 8);
        w.U8(i < 3 || i > 5 ? i % 3 : 3);  // waveform
        w.U8(2 + i);                       // attack
        w.U8(40 - 3 * i);                  // decay
        w.U8(i == 2 || i == 7 ? 48 : 20);  // sustain
        w.U8(10 + i * 2);                  // release
        w.U8(64 - 4 * i);                  // volume
        w.U16(0);
    }
    for (uint32_t i = 0; i < kOrder; ++i)
        w.U8(i < 4 ? i : Mix(seed, i) % patterns);

    static const uint8_t kScale[] = {0, 2, 4, 7, 9, 12, 14, 16};  // pentatonic
    for (uint32_t p = 0; w.Left(); ++p) {
        const uint32_t root = 36 + Mix(seed, p) % 8;
        for (uint32_t row = 0; row < 64; ++row) {
            static const uint8_t kBassSteps[4] = {0, 0, 5, 7};
            uint32_t h = Mix(seed, p, row);
            // Bass on every fourth row, following I-I-IV-V.
            if (row % 4 == 0) {
                w.U8(root + kBassSteps[row / 16]);
                w.U8(1);
                w.U8(48);
                w.U8(0);
            } else {
                w.U32(0);
            }
            // Lead: a note on most even rows.
            if (row % 2 == 0 && h % 3 != 0) {
                w.U8(root + 24 + kScale[h % 8]);
                w.U8(2);
                w.U8(40 + h % 16);
                w.U8(h % 11 == 0 ? 0x40 : 0);  // vibrato now and then
            } else {
                w.U32(0);
            }
            // Drums.
            if (row % 8 == 0 || row % 8 == 4 || (row % 2 == 1 && (h >> 8) % 2)) {
                w.U8(60);
                w.U8(row % 8 == 0 ? 4 : row % 8 == 4 ? 5 : 6);
                w.U8(row % 2 ? 24 : 56);
                w.U8(0);
            } else {
                w.U32(0);
            }
            // Chords every half pattern.
            if (row % 32 == 0) {
                w.U8(root + 12 + kBassSteps[row / 16]);
                w.U8(3);
                w.U8(32);
                w.U8(0x30);
            } else {
                w.U32(0);
            }
        }
    }
}

// A recorded demo: one byte of held keys a frame, 35 frames a second.
void GenDemo(const Entry& e, Writer& w)
{
    Rng rng(NameSeed(e.name));
    w.Raw("QDEM", 4);
    w.U16(e.arg);
    w.U16(35);
    w.U32(e.size - 16);
    w.U32(rng.Next());
    enum : uint32_t { kLeft = 1, kRight = 2, kUp = 4, kDown = 8, kJump = 16, kLamp = 32 };
    static const uint8_t kMoves[] = {kRight, kRight, kRight | kJump, 0, kLeft, kUp, kDown, kRight | kLamp, kLeft | kJump};
    while (w.Left()) {
        uint32_t keys = kMoves[rng.Below(sizeof(kMoves))];
        for (uint32_t n = 4 + rng.Below(60); n > 0; --n)
            w.U8(keys);
    }
}

void GenSineTable(const Entry& e, Writer& w)
{
    const uint32_t count = (e.size - kSineHeader) / 2;
    w.Raw("QSIN", 4);
    w.U16(count);
    w.U16(16384);
    w.Field("", 8);
    for (uint32_t i = 0; i < count; ++i)
        w.I16(SinQ15(static_cast<int32_t>(i * 65536 / count) - 32768) / -2);
}

void GenScores(const Entry&, Writer& w)
{
    static const char* const kNames[kScoreCount] = {"ZARA", "KOLT", "MIRELLE", "THE BOSS", "OSKAR",
                                                    "DEV", "PIP", "ANNIKA", "ROWAN", "NOBODY"};
    w.Raw("QHSC", 4);
    w.U32(kScoreCount);
    for (uint32_t i = 0; i < kScoreCount; ++i) {
        w.Field(kNames[i], 12);
        w.U32(100000 - i * 9500 - i * i * 250);
        w.U16(16 - i);
        w.U16(0);
    }
}

// ---------------------------------------------------------------------------

bool ReadFile(const std::string& path, Bytes& data)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    data.clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.insert(data.end(), buf, buf + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool WriteFile(const std::string& path, const void* data, size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool MakeDir(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

int Fail(const std::string& message)
{
    std::fprintf(stderr, "qsample: %s\n", message.c_str());
    return 1;
}

// One name a line, in archive order.
std::string ManifestText()
{
    std::string manifest;
    for (const Entry& e : kFiles) {
        manifest += e.name;
        manifest += '\n';
    }
    return manifest;
}

int WriteManifest(const std::string& path)
{
    const std::string manifest = ManifestText();
    if (!WriteFile(path, manifest.data(), manifest.size()))
        return Fail("cannot write " + path + ": " + std::strerror(errno));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--manifest") == 0)
        return WriteManifest(argv[2]);
    if (argc != 4) {
        std::fprintf(stderr, "usage: qsample OUTDIR QUARNEL_EXE UNINSTALL_EXE\n       qsample --manifest MANIFEST\n");
        return 2;
    }
    const std::string outDir = argv[1];
    Bytes programs[2];
    uint64_t programBytes = 0;
    for (int i = 0; i < 2; ++i) {
        const char* path = argv[2 + i];
        if (!ReadFile(path, programs[i]))
            return Fail(std::string("cannot read ") + path);
        const size_t size = programs[i].size();
        if (size <= kSmallestSize || size >= kLargestSize)
            return Fail(std::string(path) + " has " + std::to_string(size) + " bytes; every file but game.cfg (" +
                        std::to_string(kSmallestSize) + ") and stage2.cur (" + std::to_string(kLargestSize) +
                        ") must lie strictly between those sizes");
        programBytes += size;
    }
    // GAMEBIN\tiles.dat takes what the programs leave, and must stay larger
    // than game.cfg.
    const uint64_t slack = kTotalBytes - FixedBytes();
    if (programBytes + kSmallestSize >= slack)
        return Fail("the two programs take " + std::to_string(programBytes) + " bytes; the game's " +
                    std::to_string(kTotalBytes) + " bytes leave at most " + std::to_string(slack - kSmallestSize - 1) +
                    " for them");
    const uint32_t fillerSize = static_cast<uint32_t>(slack - programBytes);

    if (!MakeDir(outDir) || !MakeDir(outDir + "/GAMEBIN") || !MakeDir(outDir + "/GAMEBIN/sound"))
        return Fail("cannot create the folders under " + outDir + ": " + std::strerror(errno));

    uint64_t total = 0;
    Bytes data;
    for (const Entry& e : kFiles) {
        if (e.kind == Kind::Program) {
            data = programs[e.arg];
        } else {
            Writer w(data, IsFiller(e) ? fillerSize : e.size);
            switch (e.kind) {
            case Kind::Program: break;
            case Kind::Text: GenText(e, w); break;
            case Kind::Wave: GenWave(e, w); break;
            case Kind::Level: GenLevel(e, w); break;
            case Kind::Bitmap: GenBitmap(e, w); break;
            case Kind::Palette: GenPalette(e, w); break;
            case Kind::Font: GenFont(e, w); break;
            case Kind::Sprites: GenSprites(e, w); break;
            case Kind::Tiles: GenTiles(e, w); break;
            case Kind::Music: GenMusic(e, w); break;
            case Kind::Demo: GenDemo(e, w); break;
            case Kind::SineTable: GenSineTable(e, w); break;
            case Kind::Scores: GenScores(e, w); break;
            }
            if (w.Left() != 0)
                return Fail(std::string("internal error: ") + e.name + " came out " + std::to_string(w.Left()) +
                            " bytes short");
            if (w.Overran() && !EndsWithPartialRecord(e.kind))
                return Fail(std::string("internal error: ") + e.name + " overran its size");
        }
        std::string path = outDir + "/" + e.name;
        for (size_t i = outDir.size(); i < path.size(); ++i)
            if (path[i] == '\\')
                path[i] = '/';
        if (!WriteFile(path, data.data(), data.size()))
            return Fail("cannot write " + path + ": " + std::strerror(errno));
        total += data.size();
    }
    if (total != kTotalBytes)
        return Fail("internal error: wrote " + std::to_string(total) + " bytes, not " + std::to_string(kTotalBytes));
    return WriteManifest(outDir + "/manifest.txt");
}
