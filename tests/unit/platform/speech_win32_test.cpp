// The Windows speech side: voice tokens of both categories, the WAV made of what a voice
// spoke, the real SAPI as Wine has it, the work files and their folders.
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>

#include <cstdio>
#include <cstring>
#include <map>

#include "parlo/voice_rule.h"
#include "platform/file.h"
#include "platform/speech_synth.h"
#include "platform/system.h"
#include "platform/win32/speech_sapi.h"

namespace orvane::platform {
namespace {

TEST(Win32Speech, VoiceLanguagesBecomeTheTagsTheVoiceRuleCompares) {
    const struct {
        const wchar_t* attribute;
        const char* tag;
    } cases[] = {
        {L"40C", "fr-FR"}, {L"40c", "fr-FR"}, {L"C0C", "fr-CA"}, {L"409;9", "en-US"},
        {L" 40C ", "fr-FR"}, {L"", ""}, {L"zz", ""}, {L"123456789", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32::languageTagOfLcids(c.attribute), c.tag) << static_cast<int>(c.attribute[0]);
    }
}

// Current Windows registers its French voices in the OneCore category: a male fr-FR voice
// there is listed after the desktop voices and is the one the voice rule chooses.
TEST(Win32Speech, OneCoreVoicesAreListedAfterTheDesktopOnes) {
    const std::wstring desktop = win32::kDesktopVoices, oneCore = win32::kOneCoreVoices;
    std::map<std::wstring, std::vector<win32::VoiceToken>> categories{
        {desktop,
         {{desktop + L"\\Tokens\\TTS_MS_EN-US_ZIRA_11.0", L"409", L"Female"},
          {desktop + L"\\Tokens\\TTS_MS_FR-FR_HORTENSE_11.0", L"40C", L"Female"}}},
        {oneCore,
         {{oneCore + L"\\Tokens\\MSTTS_V110_frFR_JulieM", L"40C", L"female"},
          {oneCore + L"\\Tokens\\MSTTS_V110_frFR_PaulM", L"40C", L"Male"},
          {desktop + L"\\Tokens\\TTS_MS_EN-US_ZIRA_11.0", L"409", L"Female"}}},  // listed once only
    };
    std::vector<std::wstring> asked;
    auto source = [&](const wchar_t* category, std::vector<win32::VoiceToken>& out) {
        asked.emplace_back(category);
        auto found = categories.find(category);
        if (found == categories.end()) return false;
        out = found->second;
        return true;
    };
    std::vector<VoiceInfo> voices;
    ASSERT_TRUE(win32::listVoices(source, voices));
    EXPECT_EQ(asked, (std::vector<std::wstring>{desktop, oneCore}));
    ASSERT_EQ(voices.size(), 4u);
    const char* tags[] = {"en-US", "fr-FR", "fr-FR", "fr-FR"};
    const VoiceGender genders[] = {VoiceGender::Female, VoiceGender::Female, VoiceGender::Female, VoiceGender::Male};
    for (std::size_t i = 0; i < voices.size(); ++i) {
        EXPECT_EQ(voices[i].language, tags[i]) << i;
        EXPECT_EQ(voices[i].gender, genders[i]) << i;
    }
    EXPECT_EQ(voices[3].name, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech_OneCore\\Voices\\Tokens\\MSTTS_V110_frFR_PaulM");
    EXPECT_EQ(parlo::chooseVoice(voices), 3);

    // A system without one of the categories still lists the other; without both, nothing.
    categories.erase(desktop);
    ASSERT_TRUE(win32::listVoices(source, voices));
    EXPECT_EQ(voices.size(), 3u);
    categories.clear();
    EXPECT_FALSE(win32::listVoices(source, voices));
    EXPECT_TRUE(voices.empty());
}

// A stream that fails its reads, as a stream whose memory is gone would.
class BrokenStream final : public IStream {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG* got) override {
        if (got) *got = 0;
        return STG_E_READFAULT;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        *stat = STATSTG{};
        stat->cbSize.QuadPart = 100;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
};

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// What a voice spoke into memory becomes one WAV file: the header of the synthesis format, the
// samples byte for byte from the stream's start (the voice leaves it at its end).
TEST(Win32Speech, WhatAVoiceSpokeBecomesOneWavFile) {
    IStream* memory = nullptr;
    ASSERT_TRUE(SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &memory)));
    std::vector<std::uint8_t> spoken(3001);
    for (std::size_t i = 0; i < spoken.size(); ++i) spoken[i] = static_cast<std::uint8_t>(i * 7 + 1);
    ULONG written = 0;
    ASSERT_TRUE(SUCCEEDED(memory->Write(spoken.data(), static_cast<ULONG>(spoken.size()), &written)));
    std::vector<std::uint8_t> wav{9, 9};
    ASSERT_TRUE(win32::wavFromStream(memory, win32::synthesisFormat(), wav));
    memory->Release();
    ASSERT_EQ(wav.size(), 44u + spoken.size());
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), 36u + spoken.size());
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(wav, 16), 16u);
    EXPECT_EQ(le16(wav, 20), 1u);      // PCM
    EXPECT_EQ(le16(wav, 22), 1u);      // mono
    EXPECT_EQ(le32(wav, 24), 22050u);  // frames per second
    EXPECT_EQ(le32(wav, 28), 44100u);  // bytes per second
    EXPECT_EQ(le16(wav, 32), 2u);      // bytes per frame
    EXPECT_EQ(le16(wav, 34), 16u);     // bits per sample
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(le32(wav, 40), spoken.size());
    EXPECT_TRUE(std::equal(spoken.begin(), spoken.end(), wav.begin() + 44));

    // A stream that cannot be read whole gives no WAV at all, never a header over missing samples.
    BrokenStream broken;
    wav.assign(10, 1);
    EXPECT_FALSE(win32::wavFromStream(&broken, win32::synthesisFormat(), wav));
    EXPECT_TRUE(wav.empty());
    EXPECT_FALSE(win32::wavFromStream(nullptr, win32::synthesisFormat(), wav));
}

// The real SAPI: its voices are listed (Wine has one of its own, which cannot speak), each
// named; a token that does not exist is refused; a synthesis either gives a whole WAV file or
// fails leaving nothing.
TEST(Win32Speech, SapiListsItsVoicesAndSynthesisIsWholeOrNothing) {
    std::unique_ptr<SpeechSynthesizer> synth = hostSpeech().newSynthesizer();
    ASSERT_TRUE(synth) << "SAPI's voice object cannot be made";
    std::vector<VoiceInfo> voices;
    ASSERT_TRUE(synth->voices(voices));
    ASSERT_FALSE(voices.empty());
    for (const VoiceInfo& v : voices) EXPECT_FALSE(v.name.empty());
    EXPECT_FALSE(synth->selectVoice(VoiceInfo{"fr-FR", VoiceGender::Male, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Nowhere"}));
    std::vector<std::uint8_t> wav{1, 2, 3};
    if (!synth->synthesizeToWav(u"Bonjour", wav)) {
        EXPECT_TRUE(wav.empty());
        return;
    }
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(le32(wav, 40), wav.size() - 44);
    EXPECT_GT(le32(wav, 40), 0u);
}

TEST(Win32Speech, WorkFilesTakeAccentedPathsAndAMissingSoundIsNotPlayed) {
    SpeechPlatform& speech = hostSpeech();
    const std::string folder = hostSystem().temporaryFolder() + "/Orvane-test-Cr\xC3\xA8me";
    speech.createFolder(folder);
    const std::string file = folder + "/parlo_sound.wav";
    const std::uint8_t bytes[] = {'R', 'I', 'F', 'F', 0, 1, 2};
    ASSERT_TRUE(speech.writeFile(file, bytes, sizeof bytes));
    ASSERT_TRUE(speech.writeFile(file, bytes, 4));  // replaced, not appended to
    std::FILE* in = openFileForReading(file);
    ASSERT_NE(in, nullptr);
    char back[16] = {};
    EXPECT_EQ(std::fread(back, 1, sizeof back, in), 4u);
    std::fclose(in);
    EXPECT_FALSE(speech.writeFile(folder, bytes, 4));  // a folder is not replaced by a file
    EXPECT_FALSE(speech.playWavFile(folder + "/missing.wav"));
}

// Where Parlo's files go when there is no temporary folder: the user's local application data
// folder, which exists and is the user's own.
TEST(Win32Speech, TheLocalDataFolderIsTheUsersOwn) {
    const std::string local = hostSystem().localDataFolder();
    ASSERT_FALSE(local.empty());
    wchar_t wide[MAX_PATH] = {};
    ASSERT_GT(MultiByteToWideChar(CP_UTF8, 0, local.c_str(), -1, wide, MAX_PATH), 0);
    const DWORD attributes = GetFileAttributesW(wide);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << local;
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << local;
    EXPECT_EQ(local.find(hostSystem().programsFolder()), std::string::npos) << local;
    EXPECT_TRUE(hostSpeech().createFolder(local + "/Orvane") || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::uint8_t bytes[] = {'R', 'I', 'F', 'F'};
    EXPECT_TRUE(hostSpeech().writeFile(local + "/Orvane/parlo_sound.wav", bytes, sizeof bytes));
}

}  // namespace
}  // namespace orvane::platform
