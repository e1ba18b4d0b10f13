// kplhost and AVI clips: the demo's clip plays in ffmpeg with its fade and its sound, and an
// effect run over AVI clips gives what the same run over ffmpeg's own decoding of them gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <tuple>
#include <vector>

#include "command_run.hpp"

namespace kplhost::test {
namespace {

// The store the AVI type keeps its settings in lives in the scratch folder, not the user's.
class AviClipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ffmpeg_ = Peer(PEER_FFMPEG);
    ffprobe_ = Peer(PEER_FFPROBE);
  }
  // What ffmpeg decodes of a file: raw bytes in the given form.
  std::string decoded(const std::string& input, const std::vector<std::string>& output) {
    std::vector<std::string> argv{ffmpeg_, "-v", "error", "-i", input};
    argv.insert(argv.end(), output.begin(), output.end());
    argv.push_back("-");
    const CommandResult result = RunCommand(argv, dir_.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
  }
  std::string pictures(const std::string& input) {
    return decoded(input, {"-f", "rawvideo", "-pix_fmt", "rgb24"});
  }
  std::string sound(const std::string& input) {
    return decoded(input, {"-vn", "-f", "s16le", "-acodec", "pcm_s16le"});
  }
  void ffmpeg(const std::vector<std::string>& args) {
    std::vector<std::string> argv{ffmpeg_, "-v", "error", "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    const CommandResult result = RunCommand(argv, dir_.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
  }
  CommandResult kplhost(const std::vector<std::string>& args) {
    return RunKplhost(args, dir_.path());
  }

  ScratchDir dir_;
  ScratchStore store_{dir_.path() / "home"};
  std::string ffmpeg_, ffprobe_;
};

std::vector<int16_t> Samples(const std::string& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

double Rms(const std::vector<int16_t>& samples, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i)
    sum += double(samples[i]) * samples[i];
  return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

TEST_F(AviClipTest, TheDemoClipPlaysInFfmpegWithItsFadeAndItsSound) {
  REQUIRE_PEER(ffmpeg_);
  REQUIRE_PEER(ffprobe_);
  const CommandResult demo = kplhost({"demo", "--out", "show"});
  ASSERT_EQ(demo.exitCode, 0) << demo.err;
  EXPECT_NE(demo.out.find("show/fade-in.avi"), std::string::npos) << demo.out;
  EXPECT_NE(demo.out.find("show/road-picture.pcx"), std::string::npos) << demo.out;
  EXPECT_NE(demo.out.find("show/fade-in-avi.png"), std::string::npos) << demo.out;
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.path() / "show/fade-in-avi.png"));
  const std::string clip = dir_ / "show/fade-in.avi";

  const CommandResult probe =
      RunCommand({ffprobe_, "-v", "error", "-show_entries",
                  "stream=codec_type,codec_name,width,height,r_frame_rate,nb_frames,sample_rate,"
                  "channels",
                  "-of", "compact=p=0:nk=1", clip});
  ASSERT_EQ(probe.exitCode, 0) << probe.err;
  const std::vector<std::string> streams = Lines(probe.out);
  ASSERT_EQ(streams.size(), 2u) << probe.out;
  EXPECT_EQ(streams[0], "rawvideo|video|320|240|25/1|50") << "codec, size, rate, frames";
  EXPECT_EQ(streams[1], "pcm_s16le|audio|44100|2|0/0|88200");

  // The picture brightens frame by frame from black.
  const std::string gray = decoded(clip, {"-f", "rawvideo", "-pix_fmt", "gray"});
  const size_t frameBytes = 320 * 240;
  ASSERT_EQ(gray.size(), 50 * frameBytes);
  std::vector<double> means;
  for (size_t f = 0; f < 50; ++f) {
    double sum = 0;
    for (size_t i = 0; i < frameBytes; ++i)
      sum += uint8_t(gray[f * frameBytes + i]);
    means.push_back(sum / double(frameBytes));
  }
  EXPECT_LT(means.front(), 1.0);
  for (size_t f = 1; f < 50; ++f)
    EXPECT_GT(means[f], means[f - 1]) << "frame " << f;
  EXPECT_GT(means.back(), 100.0);

  // The tone grows louder over the two seconds.
  const std::vector<int16_t> samples = Samples(sound(clip));
  ASSERT_EQ(samples.size(), 2u * 88200);
  const size_t quarter = samples.size() / 4;
  const double q1 = Rms(samples, 0, quarter), q2 = Rms(samples, quarter, 2 * quarter),
               q3 = Rms(samples, 2 * quarter, 3 * quarter),
               q4 = Rms(samples, 3 * quarter, 4 * quarter);
  EXPECT_LT(q1, q2);
  EXPECT_LT(q2, q3);
  EXPECT_LT(q3, q4);
  EXPECT_GT(q4, 3000.0);
}

// Two short clips as ffmpeg writes them: uncompressed pictures and 16-bit sound.
void MakeClips(AviClipTest& test, const std::function<void(const std::vector<std::string>&)>& run) {
  for (const auto& [name, source, tone] :
       {std::tuple{"a.avi", "testsrc=size=48x32:rate=25:duration=1.2", "440"},
        std::tuple{"b.avi", "rgbtestsrc=size=48x32:rate=25:duration=1.2", "660"}})
    run({"-f", "lavfi", "-i", source, "-f", "lavfi", "-i",
         std::string("sine=frequency=") + tone + ":sample_rate=22050:duration=1.2", "-c:v",
         "rawvideo", "-pix_fmt", "bgr24", "-c:a", "pcm_s16le", "-ac", "2", name});
}

TEST_F(AviClipTest, EffectsOverAviClipsGiveWhatTheyGiveOverFfmpegsDecoding) {
  REQUIRE_PEER(ffmpeg_);
  MakeClips(*this, [&](const std::vector<std::string>& args) { ffmpeg(args); });
  for (const char* name : {"a", "b"}) {
    ffmpeg({"-i", std::string(name) + ".avi", std::string(name) + "%03d.png"});
    ffmpeg(
        {"-i", std::string(name) + ".avi", "-vn", "-c:a", "pcm_s16le", std::string(name) + ".wav"});
  }
  struct Case {
    const char* what;
    std::vector<std::string> run;  // module, type and flags
    bool twoClips;
  };
  const Case cases[] = {
      {"fade in", {"pannikel", "Fade", "--flags", "0x1400"}, false},
      {"cross fade", {"pannikel", "Fade", "--flags", "0x800"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto effect = [&](const std::string& in, const std::string& in2, const std::string& out) {
      std::vector<std::string> args{"effect"};
      args.insert(args.end(), c.run.begin(), c.run.end());
      args.insert(args.end(), {"--in", in, "--out", out});
      if (c.twoClips) args.insert(args.end(), {"--in2", in2});
      const CommandResult result = kplhost(args);
      EXPECT_EQ(result.exitCode, 0) << result.err;
      EXPECT_EQ(result.err, "") << "no progress bar without a terminal";
    };
    effect("a.avi", "b.avi", "out.avi");
    effect("a%03d.png", "b%03d.png", "ref%03d.png");
    effect("a.wav", "b.wav", "ref.wav");
    const std::string frames = pictures("out.avi");
    EXPECT_EQ(frames.size(), 30u * 48 * 32 * 3);
    EXPECT_TRUE(frames == pictures("ref%03d.png")) << "frame for frame";
    const std::string samples = sound("out.avi");
    EXPECT_EQ(samples.size(), 26460u * 4);
    EXPECT_TRUE(samples == sound("ref.wav")) << "sample for sample";
  }
}

TEST_F(AviClipTest, TheTypeNamesItselfInTheUsersLanguage) {
  for (const auto& [language, name] :
       {std::pair{"dan", "AVI filer (*.avi)"}, std::pair{"ENU", "AVI files (*.avi)"}}) {
    std::filesystem::create_directories(dir_.path() / "home");
    std::ofstream(dir_.path() / "home/win.ini") << "[Intl]\nsLanguage=" << language << "\n";
    const CommandResult info = kplhost({"info", "clipvane"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find(std::string("type 0  ") + name + "\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("pattern *.avi"), std::string::npos) << info.out;
  }
}

TEST_F(AviClipTest, SoundTheWriterDoesNotTakeIsNamed) {
  REQUIRE_PEER(ffmpeg_);
  ffmpeg({"-f", "lavfi", "-i", "testsrc=size=16x16:rate=10:duration=0.5", "-f", "lavfi", "-i",
          "sine=sample_rate=48000:duration=0.5", "-c:v", "rawvideo", "-pix_fmt", "bgr24", "-c:a",
          "pcm_s16le", "in.avi"});
  const CommandResult result = kplhost(
      {"effect", "pannikel", "Fade", "--flags", "0x1400", "--in", "in.avi", "--out", "out.avi"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("48000 Hz"), std::string::npos) << result.err;
  // A clip that claims far more frames (and so sound) than it holds fails at its end.
  ffmpeg({"-f", "lavfi", "-i", "testsrc=size=16x16:rate=10:duration=0.5", "-f", "lavfi", "-i",
          "sine=sample_rate=44100:duration=0.5", "-c:v", "rawvideo", "-pix_fmt", "bgr24", "-c:a",
          "pcm_s16le", "long.avi"});
  {
    std::fstream file(dir_.path() / "long.avi", std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    const size_t avih = bytes.find("avih");
    ASSERT_NE(avih, std::string::npos);
    file.seekp(std::streamoff(avih + 8 + 16));  // total frames
    file.write("\xFF\xFF\xFF\x7F", 4);
  }
  const CommandResult claimed = kplhost(
      {"effect", "pannikel", "Fade", "--flags", "0x1400", "--in", "long.avi", "--out", "o.avi"});
  EXPECT_EQ(claimed.exitCode, 1);
  EXPECT_NE(claimed.err.find("could not read frame 5 "), std::string::npos) << claimed.err;
  // A clip without a file behind it, and a file that is no AVI clip.
  EXPECT_EQ(kplhost({"effect", "pannikel", "Fade", "--in", "none.avi", "--out", "o.avi"}).exitCode,
            1);
}

}  // namespace
}  // namespace kplhost::test
