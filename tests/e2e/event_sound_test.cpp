// The fix beep and the sentence window's warning as the user hears them: the
// whole program in this process plays through libcanberra into ALSA, whose
// default device here is a file in the test's folder.
#include <cstdint>
#include <cstdlib>

#include "event_sound.h"
#include "whole_program.h"

namespace {

// Records like the test notifier, but beeps with the program's own notifier.
class SoundingNotifier : public RecordingNotifier {
public:
    void Beep(unsigned type) override {
        RecordingNotifier::Beep(type);
        DefaultNotifier().Beep(type);
    }
};

// Largest absolute 16-bit sample of a raw capture.
int Peak(const std::string& raw) {
    int peak = 0;
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
        const auto sample = static_cast<int16_t>(static_cast<uint8_t>(raw[i]) |
                                                 static_cast<uint8_t>(raw[i + 1]) << 8);
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

class EventSounds : public WholeProgram {
protected:
    void SetUp() override {
        // ALSA reads its configuration at the first sound, after this.
        setenv("CANBERRA_DRIVER", "alsa", 1);
        SetNotifier(&sounding_);
    }
    void TearDown() override { SetNotifier(nullptr); }

    // ALSA's only configuration: `body`.
    void UseAlsaConfig(const std::string& body) {
        const std::string path = dir_.path() + "/asound.conf";
        WriteFileBytes(path, body);
        setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
    }
    // The default device writes what it plays into capture.raw.
    void CaptureIntoFile() {
        UseAlsaConfig("pcm.!default {\n"
                      "    type file\n"
                      "    slave.pcm { type null }\n"
                      "    file \"" +
                      capture_ + "\"\n    format \"raw\"\n}\n");
    }
    // Seconds until the capture holds audible samples (at least 0.1 s of
    // 48 kHz stereo 16-bit audio and a peak over 3 % of full scale).
    double SecondsUntilHeard(int timeoutMs) {
        return SecondsUntil(
            [&] {
                const std::string raw = ReadFileBytes(capture_);
                return raw.size() >= 19200 && Peak(raw) > 1000;
            },
            timeoutMs);
    }

    SoundingNotifier sounding_;
    const std::string capture_ = dir_.path() + "/capture.raw";
};

TEST_F(EventSounds, AFixWithTheSoundOnIsHeard) {
    CaptureIntoFile();
    GpsSim receiver("COM1", {"--fix-after", "2", "--seed", "3"});
    ASSERT_TRUE(receiver.Start());
    StartProgram();
    Choose("ComPortComboBox", "COM_1");
    RunFor(1500);
    EXPECT_TRUE(sounding_.beeps.empty()) << "the sound is off until S is pressed";
    EXPECT_FALSE(FileExists(capture_));

    ClickTool("SoundSpeedButton");
    ASSERT_GE(SecondsUntilHeard(15000), 0) << ReadFileBytes(capture_).size() << " bytes captured";
    EXPECT_FALSE(sounding_.beeps.empty());
    for (unsigned beep : sounding_.beeps)
        EXPECT_EQ(beep, kFixBeep);
    EXPECT_TRUE(sounding_.shown.empty()) << Told(sounding_);
}

TEST_F(EventSounds, ThePauseWithoutItsGlyphSoundsAWarning) {
    CaptureIntoFile();
    StartProgram();
    auto* sentences = OpenView<TSentenceForm>();
    ASSERT_NE(sentences, nullptr);
    ASSERT_FALSE(FileExists("Sure.bmp"));
    QTest::mouseClick(sentences->PauseLog_BitBtn, Qt::LeftButton);
    EXPECT_EQ(sounding_.beeps, std::vector<unsigned>{kWarningBeep});
    EXPECT_GE(SecondsUntilHeard(5000), 0);
}

TEST_F(EventSounds, WithoutASoundDeviceTheProgramGoesOnQuietly) {
    UseAlsaConfig("# no devices\n");
    EXPECT_FALSE(PlayEventSound("complete", "test")) << "nothing can play";

    GpsSim receiver("COM1", {"--fix-after", "1", "--seed", "3"});
    ASSERT_TRUE(receiver.Start());
    StartProgram();
    Choose("ComPortComboBox", "COM_1");
    ClickTool("SoundSpeedButton");
    // A fix beep on every tick, each falling back to the bell at once.
    ASSERT_GE(SecondsUntil([&] { return sounding_.beeps.size() >= 4; }, 15000), 0);
    EXPECT_TRUE(sounding_.shown.empty()) << Told(sounding_);
    EXPECT_FALSE(FileExists(capture_));
    EXPECT_TRUE(FixAcquired);
}

} // namespace
