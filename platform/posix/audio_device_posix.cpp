// The media command strings carried out with SDL2_mixer: one alias, one loaded
// sound, played on one mixer channel, so a new sound cuts the previous one.
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/audio_device.h"

namespace platform {
namespace {

// Error codes with the same meaning as the Windows media interface's.
constexpr unsigned kUnrecognizedCommand = 261;
constexpr unsigned kInvalidDeviceName = 263;
constexpr unsigned kCannotLoadDriver = 266;
constexpr unsigned kFileNotFound = 275;
constexpr unsigned kDuplicateAlias = 289;
constexpr unsigned kInvalidFile = 296;
constexpr int kChannel = 0;

class SdlAudioDevice final : public IAudioDevice {
 public:
  ~SdlAudioDevice() override {
    std::lock_guard lock(mutex_);
    closeSound();
    if (mixerOpen_) {
      Mix_CloseAudio();  // stops and joins SDL's audio thread
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
  }

  unsigned send(const std::string& command) override {
    std::lock_guard lock(mutex_);
    std::istringstream in(command);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty()) return kUnrecognizedCommand;
    if (words[0] == "open") return open(command);
    if (words.size() < 2 || words[1] != alias_ || !chunk_) return kInvalidDeviceName;

    if (words[0] == "close" && words.size() == 2) {
      closeSound();
      return 0;
    }
    if (words[0] == "setaudio" && words.size() == 5 && words[2] == "volume" && words[3] == "to") {
      char* end = nullptr;
      const long level = std::strtol(words[4].c_str(), &end, 10);
      if (*end != '\0' || level < 0 || level > 1000) return kUnrecognizedCommand;
      // 0..1000 onto the mixer's 0..128, linearly.
      Mix_Volume(kChannel, static_cast<int>(level * MIX_MAX_VOLUME / 1000));
      return 0;
    }
    if (words[0] == "play" && (words.size() == 2 || (words.size() == 4 && words[2] == "from" && words[3] == "0"))) {
      if (Mix_PlayChannel(kChannel, chunk_, 0) < 0) return fail(kCannotLoadDriver, Mix_GetError());
      return 0;
    }
    return kUnrecognizedCommand;
  }

  bool errorText(unsigned code, std::string& text) override {
    std::lock_guard lock(mutex_);
    if (code != lastErrorCode_ || lastError_.empty()) return false;
    text = lastError_;
    return true;
  }

 private:
  unsigned fail(unsigned code, std::string text) {
    lastErrorCode_ = code;
    lastError_ = std::move(text);
    return code;
  }

  unsigned open(const std::string& command) {
    // open "<file>" type mpegvideo alias <alias>
    const auto first = command.find('"');
    const auto second = first == std::string::npos ? first : command.find('"', first + 1);
    if (second == std::string::npos) return kUnrecognizedCommand;
    const std::string file = command.substr(first + 1, second - first - 1);
    std::istringstream rest(command.substr(second + 1));
    std::string type, kind, aliasWord, alias;
    if (!(rest >> type >> kind >> aliasWord >> alias) || type != "type" || aliasWord != "alias")
      return kUnrecognizedCommand;
    if (chunk_) return fail(kDuplicateAlias, "The alias is already in use.");

    if (std::FILE* probe = std::fopen(file.c_str(), "rb"))
      std::fclose(probe);
    else
      return fail(kFileNotFound, "The file cannot be found.");
    if (!mixerOpen_) {
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return fail(kCannotLoadDriver, SDL_GetError());
      if (Mix_OpenAudio(48000, AUDIO_S16SYS, 2, 1024) != 0) {
        std::string error = Mix_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return fail(kCannotLoadDriver, error);
      }
      mixerOpen_ = true;
    }
    chunk_ = Mix_LoadWAV(file.c_str());
    if (!chunk_) return fail(kInvalidFile, Mix_GetError());
    alias_ = alias;
    Mix_Volume(kChannel, MIX_MAX_VOLUME);
    return 0;
  }

  void closeSound() {
    if (!chunk_) return;
    Mix_HaltChannel(kChannel);
    Mix_FreeChunk(chunk_);
    chunk_ = nullptr;
    alias_.clear();
  }

  std::mutex mutex_;
  bool mixerOpen_ = false;
  Mix_Chunk* chunk_ = nullptr;
  std::string alias_;
  unsigned lastErrorCode_ = 0;
  std::string lastError_;
};

}  // namespace

std::unique_ptr<IAudioDevice> makeAudioDevice() { return std::make_unique<SdlAudioDevice>(); }

}  // namespace platform
