#include "Player.h"

#include <thread>

#include "Playback.h"
#include "Worker.h"

namespace internalplayer {

struct Player::Impl {
  Worker worker;
  std::unique_ptr<Playback> playback;  // created, used and destroyed on the worker thread
};

std::unique_ptr<Player> Player::create(int32_t* status) {
  auto impl = std::make_unique<Impl>();
  Impl& self = *impl;
  self.worker.run([&] { self.playback = Playback::create(self.worker.context(), status); });
  if (!self.playback) return nullptr;
  return std::unique_ptr<Player>(new Player(std::move(impl)));
}

Player::Player(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Player::~Player() {
  try {
    impl_->worker.run([this] { impl_->playback.reset(); });
  } catch (...) {
    // The worker is gone already; its context dropped every task.
  }
}

void Player::destroy(Player* player) noexcept {
  if (player == nullptr) return;
  if (!player->impl_->worker.onWorkerThread()) {
    delete player;
    return;
  }
  Playback& playback = *player->impl_->playback;
  playback.setEventCallback(nullptr, nullptr);
  playback.stop();
  try {
    // The worker cannot join itself; another thread finishes once the callback returned.
    std::thread([player] { delete player; }).detach();
  } catch (...) {
    // No thread to be had: the stopped player stays behind rather than deadlocking here.
  }
}

int32_t Player::play(const char* path) {
  return impl_->worker.call(
      [&] { return path != nullptr ? impl_->playback->play(path) : impl_->playback->resume(); });
}

int32_t Player::pause() {
  return impl_->worker.call([&] { return impl_->playback->pause(); });
}

int32_t Player::stop() {
  return impl_->worker.call([&] { return impl_->playback->stop(); });
}

double Player::length() {
  return impl_->worker.call([&] { return impl_->playback->length(); });
}

double Player::position() {
  return impl_->worker.call([&] { return impl_->playback->position(); });
}

void Player::seek(double seconds) {
  impl_->worker.call([&] { impl_->playback->seek(seconds); });
}

float Player::volume() {
  return impl_->worker.call([&] { return impl_->playback->volume(); });
}

void Player::setVolume(float level) {
  impl_->worker.call([&] { impl_->playback->setVolume(level); });
}

bool Player::muted() {
  return impl_->worker.call([&] { return impl_->playback->muted(); });
}

void Player::setMuted(bool muted) {
  impl_->worker.call([&] { impl_->playback->setMuted(muted); });
}

void Player::setEventCallback(AudioPluginEventCallback callback, void* context) {
  impl_->worker.call([&] { impl_->playback->setEventCallback(callback, context); });
}

}  // namespace internalplayer
