#include "linux/players/mpris_player.h"

#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

#include "common/utf.h"

namespace marqel::players {
namespace {

using mpris::Status;

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kTrackListInterface = "org.mpris.MediaPlayer2.TrackList";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* kBusDaemon = "org.freedesktop.DBus";

// Only MPRIS names, only the player interface's properties: the bus wakes us for nothing else.
constexpr const char* kNameOwnerMatch =
    "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
    "member='NameOwnerChanged',path='/org/freedesktop/DBus',arg0namespace='org.mpris.MediaPlayer2'";
constexpr const char* kPropertiesMatch =
    "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',"
    "path='/org/mpris/MediaPlayer2',arg0='org.mpris.MediaPlayer2.Player'";
constexpr const char* kSeekedMatch =
    "type='signal',interface='org.mpris.MediaPlayer2.Player',member='Seeked',"
    "path='/org/mpris/MediaPlayer2'";

// What sd-bus answers for a call whose timeout ran out.
constexpr std::string_view kNoReply = "org.freedesktop.DBus.Error.NoReply";

constexpr std::int64_t kMicrosecondsPerMs = 1000;

// A message that does not hold what MPRIS says it holds (a player sending the wrong types) is
// dropped as a whole; the window keeps what it knew.
template <class Read>
void DropIfUnreadable(Read&& read) {
  try {
    read();
  } catch (const sdbus::Error&) {
  }
}

std::optional<std::int64_t> IntegerOf(const sdbus::Variant& value) {
  const std::string type = value.peekValueType();
  if (type == "i") return value.get<std::int32_t>();
  if (type == "x") return value.get<std::int64_t>();
  if (type == "u") return value.get<std::uint32_t>();
  if (type == "n") return value.get<std::int16_t>();
  if (type == "q") return value.get<std::uint16_t>();
  if (type == "y") return value.get<std::uint8_t>();
  if (type == "t") {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(
        value.get<std::uint64_t>(), std::numeric_limits<std::int64_t>::max()));
  }
  if (type == "d") {
    const double number = value.get<double>();
    constexpr double kLimit = 9.0e18;
    if (std::isfinite(number)) return std::llround(std::clamp(number, -kLimit, kLimit));
  }
  return std::nullopt;
}

std::string TextOf(const sdbus::Variant& value) {
  const std::string type = value.peekValueType();
  if (type == "s") return value.get<std::string>();
  if (type == "o") return value.get<sdbus::ObjectPath>();
  return {};
}

// xesam:artist is a list; some players send a single text.
std::vector<std::string> TextsOf(const sdbus::Variant& value) {
  if (value.peekValueType() == "as") return value.get<std::vector<std::string>>();
  if (std::string text = TextOf(value); !text.empty()) return {std::move(text)};
  return {};
}

mpris::Track ReadTrack(const std::map<std::string, sdbus::Variant>& metadata) {
  mpris::Track track;
  const auto field = [&](const char* key) -> const sdbus::Variant* {
    const auto it = metadata.find(key);
    return it == metadata.end() ? nullptr : &it->second;
  };
  // Some players send 0 for a track without a number.
  if (const auto* value = field("xesam:trackNumber")) {
    if (const auto number = IntegerOf(*value); number && *number > 0) track.trackNumber = number;
  }
  if (const auto* value = field("xesam:artist")) track.artists = TextsOf(*value);
  if (const auto* value = field("xesam:title")) track.title = TextOf(*value);
  if (const auto* value = field("xesam:url")) track.url = TextOf(*value);
  if (const auto* value = field("mpris:trackid")) track.trackId = TextOf(*value);
  if (const auto* value = field("mpris:length")) track.lengthUs = IntegerOf(*value);
  return track;
}

const char* StateWord(Status status) {
  switch (status) {
    case Status::Playing:
      return "playing";
    case Status::Paused:
      return "paused";
    case Status::Stopped:
      break;
  }
  return "stopped";
}

}  // namespace

struct MprisPlayer::Player {
  std::string busName;
  std::string owner;  // the unique name of the instance that holds busName
  std::unique_ptr<sdbus::IProxy> proxy;
  std::uint64_t order = 0;  // when it was found: the first found wins a tie
  bool answered = false;    // its properties have come
  bool frozen = false;      // a call timed out, and nothing has come from it since
  bool allPending = false;
  bool positionPending = false;
  bool tracksPending = false;
  bool hasTrackList = true;  // until it says otherwise
  Status status = Status::Stopped;
  mpris::Track track;
  std::vector<std::string> tracks;  // the track list's ids
  double rate = 1.0;
  std::int64_t positionUs = 0;
  std::int64_t positionAtMs = 0;  // loop time when positionUs was right
  std::int64_t lastPlayedMs = -1;
};

MprisPlayer::MprisPlayer(platform::EventLoop& loop, platform::WindowTable& windows,
                         const platform::CodePage& codePage, std::ostream& report,
                         std::ostream& messages, Options options)
    : loop_(loop),
      windows_(windows),
      codePage_(codePage),
      report_(report),
      options_(std::move(options)),
      window_(windows_.create()),
      bus_(
          loop, messages,
          {[this](sdbus::IConnection& connection) { connected(connection); }, [this] { lost(); }}) {
  tickHook_ = loop_.addTickHook([this] { afterTick(); });
}

MprisPlayer::~MprisPlayer() {
  loop_.removeTickHook(tickHook_);
  if (cleanUp_ != 0) loop_.cancel(cleanUp_);
  players_.clear();
  retired_.clear();
  matches_.clear();
  busDaemon_.reset();
  windows_.destroy(window_);
}

void MprisPlayer::start() {
  follow();
  bus_.start();
}

platform::WindowHandle MprisPlayer::window() {
  if (Player* player = followed()) {
    windows_.find(window_)->positionMs = mpris::PositionMs(positionNow(*player));
  }
  return window_;
}

void MprisPlayer::connected(sdbus::IConnection& connection) {
  connection_ = &connection;
  busDaemon_ = sdbus::createProxy(connection, kBusDaemon, "/org/freedesktop/DBus");
  matches_.push_back(connection.addMatch(
      kNameOwnerMatch, [this](sdbus::Message& signal) { nameOwnerChanged(signal); }));
  matches_.push_back(connection.addMatch(
      kPropertiesMatch, [this](sdbus::Message& signal) { propertiesChanged(signal); }));
  matches_.push_back(
      connection.addMatch(kSeekedMatch, [this](sdbus::Message& signal) { seeked(signal); }));
  listPlayers();
}

void MprisPlayer::lost() {
  players_.clear();
  retired_.clear();
  matches_.clear();
  busDaemon_.reset();
  connection_ = nullptr;
  follow();
}

void MprisPlayer::listPlayers() {
  send(*busDaemon_, kBusDaemon, "ListNames", {},
       [this](sdbus::MethodReply& reply, const sdbus::Error* error) {
         std::vector<std::string> names;
         if (error == nullptr) DropIfUnreadable([&] { reply >> names; });
         for (const auto& name : names) {
           if (!name.starts_with(mpris::kBusNamePrefix) || busDaemon_ == nullptr) continue;
           send(*busDaemon_, kBusDaemon, "GetNameOwner", {name},
                [this, name](sdbus::MethodReply& ownerReply, const sdbus::Error* ownerError) {
                  std::string owner;
                  if (ownerError == nullptr) DropIfUnreadable([&] { ownerReply >> owner; });
                  if (!owner.empty()) addPlayer(name, owner);
                });
         }
       });
  bus_.settle();
}

bool MprisPlayer::send(sdbus::IProxy& proxy, const char* interface, const char* method,
                       const std::vector<std::string>& args, sdbus::async_reply_handler onReply) {
  try {
    auto call = proxy.createMethodCall(interface, method);
    for (const auto& arg : args) call << arg;
    proxy.callMethod(call, std::move(onReply), options_.callTimeout);
    return true;
  } catch (const sdbus::Error&) {
    // The bus is going away: the call is not made, and the bus's dispatch notices the loss.
    return false;
  }
}

void MprisPlayer::nameOwnerChanged(sdbus::Message& signal) {
  DropIfUnreadable([&] {
    std::string name;
    std::string oldOwner;
    std::string newOwner;
    signal >> name >> oldOwner >> newOwner;
    if (!name.starts_with(mpris::kBusNamePrefix)) return;
    if (newOwner.empty()) {
      removePlayer(name);
    } else {
      addPlayer(name, newOwner);
    }
  });
}

void MprisPlayer::propertiesChanged(sdbus::Message& signal) {
  DropIfUnreadable([&] {
    std::string interface;
    Properties changed;
    std::vector<std::string> invalidated;
    signal >> interface >> changed >> invalidated;
    const std::string sender = signal.getSender();
    for (auto& [name, player] : players_) {
      if (player->owner != sender) continue;
      player->frozen = false;
      apply(*player, changed);
      // A player may only say that a property changed, not what it now is.
      if (!invalidated.empty()) fetchAll(*player);
    }
  });
  follow();
}

void MprisPlayer::seeked(sdbus::Message& signal) {
  DropIfUnreadable([&] {
    std::int64_t positionUs = 0;
    signal >> positionUs;
    const std::string sender = signal.getSender();
    for (auto& [name, player] : players_) {
      if (player->owner != sender) continue;
      player->frozen = false;
      player->positionUs = positionUs;
      player->positionAtMs = loop_.nowMs();
    }
  });
  follow();
}

void MprisPlayer::addPlayer(const std::string& busName, const std::string& owner) {
  auto& slot = players_[busName];
  if (slot && slot->owner == owner) return;
  if (slot) retire(std::move(slot->proxy));
  slot = std::make_unique<Player>();
  slot->busName = busName;
  slot->owner = owner;
  slot->order = nextOrder_++;
  // Addressed to the instance, not the name: replies and signals of a player that took over the
  // name later are never mistaken for this one's.
  slot->proxy = sdbus::createProxy(*connection_, owner, kObjectPath);
  fetchAll(*slot);
  follow();
}

void MprisPlayer::removePlayer(const std::string& busName) {
  const auto it = players_.find(busName);
  if (it == players_.end()) return;
  retire(std::move(it->second->proxy));
  players_.erase(it);
  follow();
}

void MprisPlayer::retire(std::unique_ptr<sdbus::IProxy> proxy) {
  // Its own reply may be the callback running now: the proxy goes once that is over.
  retired_.push_back(std::move(proxy));
  if (cleanUp_ == 0) {
    cleanUp_ = loop_.post([this] {
      cleanUp_ = 0;
      retired_.clear();
    });
  }
}

void MprisPlayer::callProperties(Player& player, const char* method,
                                 const std::vector<std::string>& args, bool Player::*pending,
                                 std::function<void(Player&, sdbus::MethodReply*)> answered) {
  if (player.*pending) return;
  player.*pending =
      send(*player.proxy, kPropertiesInterface, method, args,
           [this, busName = player.busName, owner = player.owner, pending,
            answered = std::move(answered)](sdbus::MethodReply& reply, const sdbus::Error* error) {
             const auto it = players_.find(busName);
             if (it == players_.end() || it->second->owner != owner) return;
             Player& same = *it->second;
             same.*pending = false;
             const bool timedOut = error != nullptr && error->getName() == kNoReply;
             if (same.frozen != timedOut) {
               same.frozen = timedOut;
               if (timedOut) rebasePosition(same);
             }
             if (!timedOut) {
               DropIfUnreadable([&] { answered(same, error == nullptr ? &reply : nullptr); });
             }
             follow();
           });
  bus_.settle();
}

void MprisPlayer::fetchAll(Player& player) {
  callProperties(player, "GetAll", {kPlayerInterface}, &Player::allPending,
                 [this](Player& same, sdbus::MethodReply* reply) {
                   if (reply == nullptr) return;
                   Properties all;
                   *reply >> all;
                   const bool first = !same.answered;
                   same.answered = true;
                   apply(same, all);
                   // A paused player found on the bus has played just before.
                   if (first && same.status == Status::Paused) same.lastPlayedMs = loop_.nowMs();
                 });
}

void MprisPlayer::fetchPosition(Player& player) {
  callProperties(player, "Get", {kPlayerInterface, "Position"}, &Player::positionPending,
                 [this](Player& same, sdbus::MethodReply* reply) {
                   if (reply == nullptr) return;
                   sdbus::Variant value;
                   *reply >> value;
                   if (const auto positionUs = IntegerOf(value)) {
                     same.positionUs = *positionUs;
                     same.positionAtMs = loop_.nowMs();
                   }
                 });
}

void MprisPlayer::fetchTrackList(Player& player) {
  if (!player.hasTrackList || player.track.trackNumber || player.track.trackId.empty()) return;
  callProperties(player, "Get", {kTrackListInterface, "Tracks"}, &Player::tracksPending,
                 [](Player& same, sdbus::MethodReply* reply) {
                   if (reply == nullptr) {
                     same.hasTrackList = false;
                     return;
                   }
                   sdbus::Variant value;
                   *reply >> value;
                   const auto ids = value.get<std::vector<sdbus::ObjectPath>>();
                   same.tracks.assign(ids.begin(), ids.end());
                 });
}

void MprisPlayer::apply(Player& player, const Properties& properties) {
  const std::int64_t now = loop_.nowMs();
  if (const auto it = properties.find("PlaybackStatus"); it != properties.end()) {
    const Status status = mpris::StatusFromText(TextOf(it->second));
    if (status != player.status) {
      rebasePosition(player);
      if (status == Status::Playing || player.status == Status::Playing) player.lastPlayedMs = now;
      player.status = status;
    }
  }
  if (const auto it = properties.find("Rate"); it != properties.end()) {
    if (it->second.peekValueType() == "d") {
      const double rate = it->second.get<double>();
      rebasePosition(player);
      if (std::isfinite(rate) && rate >= 0) player.rate = rate;
    }
  }
  if (const auto it = properties.find("Metadata"); it != properties.end()) {
    mpris::Track track = ReadTrack(it->second.get<Properties>());
    const bool otherTrack = track.trackId != player.track.trackId || track.url != player.track.url;
    player.track = std::move(track);
    if (otherTrack) {
      player.positionUs = 0;
      player.positionAtMs = now;
    }
    fetchTrackList(player);
  }
  if (const auto it = properties.find("Position"); it != properties.end()) {
    if (const auto positionUs = IntegerOf(it->second)) {
      player.positionUs = *positionUs;
      player.positionAtMs = now;
    }
  }
}

void MprisPlayer::afterTick() {
  if (Player* player = followed(); player != nullptr && player->status == Status::Playing) {
    fetchPosition(*player);
  }
  // A player that stopped answering is asked again until it does.
  for (auto& [name, player] : players_) {
    if (player->frozen) fetchAll(*player);
  }
}

std::int64_t MprisPlayer::positionNow(const Player& player) const {
  double positionUs = static_cast<double>(player.positionUs);
  if (player.status == Status::Playing && !player.frozen) {
    positionUs += static_cast<double>(loop_.nowMs() - player.positionAtMs) *
                  static_cast<double>(kMicrosecondsPerMs) * player.rate;
  }
  if (player.track.lengthUs && *player.track.lengthUs > 0) {
    positionUs = std::min(positionUs, static_cast<double>(*player.track.lengthUs));
  }
  return static_cast<std::int64_t>(std::max(positionUs, 0.0));
}

void MprisPlayer::rebasePosition(Player& player) {
  player.positionUs = positionNow(player);
  player.positionAtMs = loop_.nowMs();
}

MprisPlayer::Player* MprisPlayer::followed() {
  const auto it = players_.find(followed_);
  return it == players_.end() ? nullptr : it->second.get();
}

void MprisPlayer::follow() {
  std::vector<Player*> found;
  for (auto& [name, player] : players_) found.push_back(player.get());
  std::sort(found.begin(), found.end(),
            [](const Player* a, const Player* b) { return a->order < b->order; });
  std::vector<mpris::Candidate> candidates;
  for (const Player* player : found) {
    candidates.push_back(
        {player->busName, player->frozen ? Status::Stopped : player->status, player->lastPlayedMs});
  }
  const auto chosen = mpris::ChoosePlayer(candidates, options_.names);
  Player* player = chosen ? found[*chosen] : nullptr;
  followed_ = player != nullptr ? player->busName : std::string();

  platform::PlayerWindowState* state = windows_.find(window_);
  std::string line = "no MPRIS player";
  status_ = {};
  if (player == nullptr) {
    *state = {};
  } else {
    std::optional<std::int64_t> listPosition;
    const auto at = std::find(player->tracks.begin(), player->tracks.end(), player->track.trackId);
    if (at != player->tracks.end()) listPosition = at - player->tracks.begin() + 1;
    const std::u16string text = mpris::WindowText(player->track, listPosition);
    const Status status = player->frozen ? Status::Stopped : player->status;
    state->text = codePage_.toAnsi(text);
    state->state = mpris::StateNumber(status);
    state->lengthSeconds = mpris::LengthSeconds(player->track.lengthUs);
    state->positionMs = mpris::PositionMs(positionNow(*player));
    status_.state = state->state;
    status_.track = listPosition ? std::to_string(*listPosition) : std::string();
    for (const std::string& artist : player->track.artists) {
      status_.artist += (status_.artist.empty() ? "" : ", ") + artist;
    }
    status_.title = player->track.title;
    status_.lengthSeconds = state->lengthSeconds;
    status_.positionMs = state->positionMs;
    line = player->busName +
           (player->frozen ? " does not answer" : std::string(" ") + StateWord(status)) + ": " +
           Utf16ToUtf8(text);
  }
  if (line != lastReport_) {
    report_ << "marqel-host: " << line << '\n' << std::flush;
    lastReport_ = std::move(line);
  }
}

}  // namespace marqel::players
