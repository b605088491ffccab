// The one tournament session: the field gathered, closed and drawn, played match by match or at
// once, and kept on disk after every change, for the game's screens and momiru-lab's commands
// alike.
#include "report/tournament_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "data/platform.h"
#include "data/registration.h"
#include "data/save_data.h"
#include "data/strangers_file.h"
#include "data/utf8.h"
#include "replay/replay.h"
#include "replay/replay_page.h"
#include "replay/replay_store.h"
#include "report/secret_file.h"
#include "report/text_file.h"
#include "report/tournament_draw.h"
#include "report/tournament_file.h"
#include "report/tournament_head.h"
#include "report/tournament_schedule.h"
#include "report/tournament_verify.h"

namespace momiru::report {

namespace fs = std::filesystem;

namespace {

// One character is one entry, whatever file it came in: a copy of a save file under another name
// holds the same record, which only the file's name (in the entry and in the record's name) tells
// apart.
bool sameCharacter(const Entry& a, const Entry& b) {
  if (a.sha256 == b.sha256) return true;
  if (a.storedName != b.storedName) return false;
  Combatant x = a.record;
  Combatant y = b.record;
  x.name.clear();
  y.name.clear();
  return x == y;
}

// Saves while playing without a screen come at most this often; the last one always comes.
constexpr std::chrono::milliseconds kSaveInterval{500};
// Names tried for a new tournament's file: `name`, `name-2`, ...
constexpr int kNameAttempts = 1000;

RunOptions allCores() {
  RunOptions options;
  options.threads = std::max(1u, std::thread::hardware_concurrency());
  return options;
}

bool endsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// A refusal: `problem` (if given) set, and false.
bool refuse(SessionProblem* problem, SessionRefusal kind, std::string english,
            std::optional<Refusal> cause = std::nullopt) {
  if (problem != nullptr) {
    problem->why = kind;
    problem->cause = std::move(cause);
    problem->rules.reset();
    problem->beacon.reset();
    problem->english = std::move(english);
  }
  return false;
}
// The same for the file's own refusal, said in its words.
bool refuse(SessionProblem* problem, SessionRefusal kind, Refusal cause) {
  std::string english = describe(cause);
  return refuse(problem, kind, std::move(english), std::move(cause));
}

std::string rulesText(RulesProblem p) {
  switch (p) {
    case RulesProblem::BestOf:
      return "best of takes 1, 3, 5 or 7";
    case RulesProblem::ThirdPlace:
      return "a third-place match is for single elimination";
    case RulesProblem::EliminationRounds:
      return "rounds are for swiss and round-robin";
    case RulesProblem::RoundRobinRounds:
      return "a round robin is played once or twice";
    case RulesProblem::SwissRounds:
      break;
  }
  return "Swiss takes 1 to " + std::to_string(kMaxSwissRounds) + " rounds";
}

// The hold of `file`; when it cannot be had, nothing, and `notHeld` says why.
FileHold holdOf(const fs::path& file, std::optional<SessionProblem>& notHeld) {
  FileHold::Outcome outcome = FileHold::Outcome::Failed;
  errno = 0;
  FileHold hold = FileHold::take(file, &outcome);
  if (hold) return hold;
  const int error = errno;
  const std::string name = pathToUtf8(file);
  const std::string lock = pathToUtf8(lockFileOf(file));
  SessionProblem p;
  if (outcome == FileHold::Outcome::HeldElsewhere) {
    p.why = SessionRefusal::HeldElsewhere;
    p.cause = Refusal::said(Refusal::Kind::HeldElsewhere,
                            name + ": another game or momiru-lab has the tournament open", name);
  } else if (outcome == FileHold::Outcome::NotAFile) {
    p.why = SessionRefusal::CannotHold;
    p.cause = Refusal::said(
        Refusal::Kind::CannotHold,
        name + ": the tournament cannot be held: " + lock + " is not a regular file", name);
  } else {
    p.why = SessionRefusal::CannotHold;
    p.cause = Refusal::said(
        Refusal::Kind::CannotHold,
        name + ": the tournament cannot be held: " + lock + ": " + std::strerror(error), name,
        error);
  }
  p.cause->what = "tournament";
  p.english = p.cause->english;
  notHeld = std::move(p);
  return {};
}

SessionRefusal sessionRefusal(DrawRefusal d) {
  switch (d) {
    case DrawRefusal::SecretUnreadable:
      return SessionRefusal::SecretUnreadable;
    case DrawRefusal::WrongSecret:
      return SessionRefusal::WrongSecret;
    case DrawRefusal::NoRandomSource:
      break;
  }
  return SessionRefusal::NoRandomSource;
}

}  // namespace

struct TournamentSession::State {
  Tournament t;  // before the start, and as read when it does not verify
  std::optional<TournamentPlay> play;
  fs::path file;
  fs::path secretFile;
  std::string writtenBy;
  std::optional<std::string> verifyProblem;
  bool fromPage = false;
  bool unsaved = false;
  FileHold hold;                           // of `file`, while the session may write it
  std::optional<SessionProblem> lookOnly;  // why it may not
  KeptVersion kept;                        // what a save checks the file still is

  // A step that would write the file, refused when the session may only look at it.
  bool mayNotWrite(SessionProblem* problem) const {
    if (!lookOnly) return false;
    if (problem != nullptr) *problem = *lookOnly;
    return true;
  }

  // The draw of start and run, made in a copy of the tournament as gathered: nothing when
  // refused, with `problem` set.
  std::optional<Tournament> drawn(const std::optional<std::string>& beacon, bool secretFileNamed,
                                  SessionProblem* problem) const;
};

std::optional<Tournament> TournamentSession::State::drawn(const std::optional<std::string>& beacon,
                                                          bool secretFileNamed,
                                                          SessionProblem* problem) const {
  const auto refused = [&](SessionRefusal kind, std::string text,
                           std::optional<Refusal> cause = std::nullopt) {
    refuse(problem, kind, std::move(text), std::move(cause));
    return std::nullopt;
  };
  if (verifyProblem)
    return refused(SessionRefusal::DoesNotVerify,
                   "the tournament does not verify: " + *verifyProblem);
  if (play) return refused(SessionRefusal::Started, "the tournament has started already");
  if (t.stage == Stage::Open)
    return refused(SessionRefusal::NotClosed, "entries are not closed yet");
  if (t.stage == Stage::Finished)
    return refused(SessionRefusal::Finished, "the tournament has been run already");
  Tournament d = t;
  // The draw fills these, whatever a file brought.
  d.seeds.clear();
  d.matches.clear();
  d.standings.clear();
  if (beacon) {
    if (beacon->size() > kMaxTextBytes)
      return refused(SessionRefusal::BeaconTooLong,
                     "the beacon is longer than " + std::to_string(kMaxTextBytes) + " bytes");
    d.beacon = validUtf8(*beacon);
    BeaconProblem wrong{};
    if (d.declared && !canonicalBeacon(*d.beacon, d.declared->kind, &wrong)) {
      refuse(problem, SessionRefusal::BeaconWrongKind, beaconProblemText(wrong, d.declared->kind));
      if (problem != nullptr) problem->beacon = wrong;
      return std::nullopt;
    }
  }
  if (!d.commitment && secretFileNamed)
    return refused(SessionRefusal::SecretFileNamed,
                   "a tournament without a commitment has no secret file");
  Refusal cause;
  if (const std::optional<DrawRefusal> r = revealDraw(d, secretFile, &cause))
    return refused(sessionRefusal(*r), describe(cause), cause);
  return d;
}

TournamentSession::TournamentSession(fs::path file, fs::path secretFile, std::string writtenBy)
    : s_(std::make_unique<State>()) {
  s_->file = std::move(file);
  s_->secretFile = std::move(secretFile);
  s_->writtenBy = std::move(writtenBy);
}
TournamentSession::TournamentSession(TournamentSession&&) noexcept = default;
TournamentSession& TournamentSession::operator=(TournamentSession&&) noexcept = default;
TournamentSession::~TournamentSession() = default;

TournamentRules TournamentSession::newRules(TournamentRules rules) {
  if (rules.format == Format::RoundRobin && rules.rounds == 0) rules.rounds = 1;
  return rules;
}

std::optional<SessionRefusal> TournamentSession::whyNotNew(const std::string& name,
                                                           const TournamentRules& rules) {
  if (validUtf8(name).size() > kMaxTextBytes) return SessionRefusal::NameTooLong;
  if (rulesProblem(newRules(rules))) return SessionRefusal::Rules;
  return std::nullopt;
}

std::optional<TournamentSession> TournamentSession::create(
    const fs::path& file, const fs::path& secretFile, std::string name,
    const TournamentRules& rules, bool fairDraw, const std::string& writtenBy,
    SessionProblem* problem, BeaconDeclaration beacon) {
  const auto refused = [&](SessionRefusal kind, std::string text,
                           std::optional<Refusal> cause = std::nullopt) {
    refuse(problem, kind, std::move(text), std::move(cause));
    return std::nullopt;
  };
  if (const std::optional<SessionRefusal> bad = whyNotNew(name, rules)) {
    if (*bad == SessionRefusal::NameTooLong)
      return refused(*bad, "the name is longer than " + std::to_string(kMaxTextBytes) + " bytes");
    const RulesProblem wrong = *rulesProblem(newRules(rules));
    refused(*bad, rulesText(wrong));
    if (problem != nullptr) problem->rules = wrong;
    return std::nullopt;
  }
  TournamentSession session(file, secretFile, writtenBy);
  State& s = *session.s_;
  Tournament& t = s.t;
  t.writtenBy = writtenBy;
  t.name = validUtf8(name);
  t.rules = newRules(rules);
  beacon.source = validUtf8(beacon.source);
  if (beacon.source.size() > kMaxTextBytes) {
    // Cut at a character's start, so that it stays valid UTF-8.
    std::size_t cut = kMaxTextBytes;
    while (cut > 0 && (static_cast<unsigned char>(beacon.source[cut]) & 0xC0) == 0x80) --cut;
    beacon.source.resize(cut);
  }
  t.declared = std::move(beacon);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(file, ec)))
    return refused(SessionRefusal::Exists,
                   pathToUtf8(file) + ": exists already; a tournament is never replaced");
  // Held before anything is written: a tournament being made by another is never made twice.
  std::optional<SessionProblem> notHeld;
  s.hold = holdOf(file, notHeld);
  if (notHeld) {
    const SessionRefusal why = notHeld->why == SessionRefusal::HeldElsewhere
                                   ? SessionRefusal::HeldElsewhere
                                   : SessionRefusal::Unwritable;
    return refused(why, notHeld->english, notHeld->cause);
  }
  if (fairDraw) {
    const auto secret = randomSecret();
    if (!secret)
      return refused(SessionRefusal::NoRandomSource, "the system's random source gives no secret");
    Refusal cause;
    if (!writeSecretFile(secretFile, *secret, &cause))
      return refused(SessionRefusal::Unwritable, describe(cause), cause);
    t.commitment = commitmentOf(t, *secret);
  }
  Refusal cause;
  if (!saveNewTournamentFile(file, t, s.kept, &cause)) {
    // The secret of a tournament that was never made commits to nothing.
    if (fairDraw) removeFile(secretFile);
    return refused(SessionRefusal::Unwritable, describe(cause), cause);
  }
  return session;
}

std::optional<TournamentSession> TournamentSession::open(const fs::path& file,
                                                         const fs::path& secretFile,
                                                         const std::string& writtenBy,
                                                         SessionProblem* problem, Opening opening) {
  Refusal refusal;
  // Held before it is read, so that no other holder writes it between the read and a save.
  std::optional<SessionProblem> notHeld;
  FileHold hold = holdOf(file, notHeld);
  const std::optional<FileIdentity> before = fileIdentity(file);
  // Read once: the bytes tell both the tournament and whether the file is a page.
  const std::optional<std::string> bytes =
      readStrangersFile(file, kTournamentMaxBytes, kTournamentMaxBytes, "tournament", &refusal);
  std::optional<Tournament> read = bytes ? parseTournament(*bytes, &refusal) : std::nullopt;
  if (!read) {
    refuse(problem, SessionRefusal::Unreadable, pathToUtf8(file) + ": " + describe(refusal),
           refusal);
    return std::nullopt;
  }
  TournamentSession session(file, secretFile, writtenBy);
  State& s = *session.s_;
  s.t = std::move(*read);
  s.hold = std::move(hold);
  s.lookOnly = std::move(notHeld);
  s.kept = keptVersion(file, *bytes, before);
  if (opening == Opening::AsItStands) return session;
  // Such a file carries a tournament but must never be replaced by its JSON; nor is it held.
  s.fromPage = looksLikePage(*bytes).value_or(false);
  if (s.fromPage) {
    s.hold.release();
    s.lookOnly.reset();
  }
  const Tournament& t = s.t;
  if (t.stage == Stage::Open && t.seed) {
    s.verifyProblem = "an open tournament has a seed";
  } else if (t.stage != Stage::Open && !t.seed &&
             t.entriesDigest != std::optional(entriesDigestOf(t.entries))) {
    // Entries changed after the field closed: the published digest no longer names them.
    s.verifyProblem = "the entries digest does not match the entries";
  } else if (t.seed || t.stage == Stage::Finished) {
    try {
      s.verifyProblem = verifyPartialTournament(t, allCores());
      if (!s.verifyProblem) s.play.emplace(t, allCores());
    } catch (const std::bad_alloc&) {
      refuse(problem, SessionRefusal::OutOfMemory, pathToUtf8(file) + ": out of memory");
      return std::nullopt;
    } catch (const std::exception& e) {
      s.verifyProblem = e.what();
      s.play.reset();
    }
  }
  if (s.play) s.t = Tournament{};  // the play holds it from now on
  return session;
}

const Tournament& TournamentSession::tournament() const {
  return s_->play ? s_->play->tournament() : s_->t;
}
const fs::path& TournamentSession::file() const { return s_->file; }
const std::optional<std::string>& TournamentSession::verifyProblem() const {
  return s_->verifyProblem;
}
bool TournamentSession::unsaved() const { return s_->unsaved; }
const std::optional<SessionProblem>& TournamentSession::lookOnly() const { return s_->lookOnly; }

std::vector<EntryResult> TournamentSession::addEntries(const std::vector<fs::path>& files,
                                                       std::optional<SessionProblem>* unsaved,
                                                       EntriesAdded mode) {
  if (unsaved != nullptr) unsaved->reset();
  std::vector<EntryResult> results;
  Tournament& t = s_->t;
  const bool open = t.stage == Stage::Open && !s_->play && !s_->verifyProblem;
  // Looked at only: nothing comes in, and `unsaved` says why.
  if (open && s_->lookOnly) {
    for (const fs::path& file : files) {
      EntryResult r;
      r.file = file;
      r.refusal = EntryRefusal::Closed;
      r.detail = s_->lookOnly->english;
      results.push_back(std::move(r));
    }
    if (unsaved != nullptr) *unsaved = *s_->lookOnly;
    return results;
  }
  const std::size_t most = mostEntries(t.rules.format);
  const std::string fullText = "a " + std::string(formatName(t.rules.format)) +
                               " tournament takes at most " + std::to_string(most) + " entries";
  const bool allOrNothing = mode == EntriesAdded::AllOrNothing;
  const std::size_t before = t.entries.size();
  bool refusedOne = false;
  for (const fs::path& file : files) {
    EntryResult r;
    r.file = file;
    if (!open) {
      r.refusal = EntryRefusal::Closed;
      r.detail = "entries are closed";
    } else if (!allOrNothing && t.entries.size() >= most) {
      // A file that cannot come in is not read.
      r.refusal = EntryRefusal::Full;
      r.detail = fullText;
    } else {
      GameState gs;
      const SaveDataResult loaded = loadSaveData(gs, 0, file);
      if (loaded.outcome == LoadOutcome::Tampered) {
        r.refusal = EntryRefusal::Tampered;
        r.reason = loaded.reason;
        r.detail = "the save data has been altered (" + loaded.reason + ")";
      } else if (loaded.outcome != LoadOutcome::Loaded) {
        r.refusal = EntryRefusal::Unreadable;
        r.reason = loaded.reason;
        r.detail = "cannot be used: " + loaded.reason;
      } else if (!hasCharacter(gs.combatant[0])) {
        r.refusal = EntryRefusal::NoCharacter;
        r.detail = "cannot be used: no character has been entered (level 0)";
      } else {
        Entry e = makeEntry(pathToUtf8(file.filename()), gs.combatant[0]);
        const auto same = std::find_if(t.entries.begin(), t.entries.end(),
                                       [&](const Entry& x) { return sameCharacter(x, e); });
        if (same != t.entries.end()) {
          r.refusal = EntryRefusal::Duplicate;
          r.sameAs = static_cast<int>(same - t.entries.begin());
          r.detail = "the same record as entry #" + std::to_string(*r.sameAs);
        } else if (!allOrNothing || !refusedOne) {
          r.entry = static_cast<int>(t.entries.size());
          t.entries.push_back(std::move(e));
        }
        // After a refusal nothing comes in all or nothing: a good file is then taken by no
        // number, and no later file is told it is the same record as one that never came in.
      }
    }
    refusedOne = refusedOne || r.refusal.has_value();
    results.push_back(std::move(r));
  }
  if (allOrNothing && (refusedOne || t.entries.size() > most)) {
    // Past the limit with nothing else refused: the files that would go beyond it say so.
    for (EntryResult& r : results) {
      if (!refusedOne && r.entry && static_cast<std::size_t>(*r.entry) >= most) {
        r.refusal = EntryRefusal::Full;
        r.detail = fullText;
      }
      r.entry.reset();
    }
    t.entries.erase(t.entries.begin() + static_cast<std::ptrdiff_t>(before), t.entries.end());
  }
  if (t.entries.size() > before) {
    SessionProblem why;
    if (!save(&why) && unsaved != nullptr) *unsaved = std::move(why);
  }
  return results;
}

bool TournamentSession::removeEntry(int entry, SessionProblem* problem) {
  if (s_->mayNotWrite(problem)) return false;
  Tournament& t = s_->t;
  if (t.stage != Stage::Open || s_->play || s_->verifyProblem)
    return refuse(problem, SessionRefusal::Closed, "entries are closed");
  if (entry < 0 || static_cast<std::size_t>(entry) >= t.entries.size())
    return refuse(problem, SessionRefusal::NoSuchEntry,
                  "there is no entry #" + std::to_string(entry));
  t.entries.erase(t.entries.begin() + entry);
  return saved(problem);
}

bool TournamentSession::closeEntries(SessionProblem* problem) {
  if (s_->mayNotWrite(problem)) return false;
  Tournament& t = s_->t;
  if (t.stage != Stage::Open || s_->play || s_->verifyProblem)
    return refuse(problem, SessionRefusal::Closed, "entries are closed already");
  if (t.entries.size() < kMinEntries)
    return refuse(problem, SessionRefusal::FewerThanTwo, "fewer than 2 entries");
  if (t.rules.format == Format::Swiss && t.rules.rounds > mostSwissRounds(t.entries.size()))
    return refuse(problem, SessionRefusal::TooManyRounds,
                  "a Swiss field of " + std::to_string(t.entries.size()) + " plays at most " +
                      std::to_string(mostSwissRounds(t.entries.size())) +
                      " rounds, and this one was made for " + std::to_string(t.rules.rounds));
  t.stage = Stage::Closed;
  t.entriesDigest = entriesDigestOf(t.entries);
  return saved(problem);
}

bool TournamentSession::start(const std::optional<std::string>& beacon, SessionProblem* problem) {
  if (s_->mayNotWrite(problem)) return false;
  std::optional<Tournament> t = s_->drawn(beacon, false, problem);
  if (!t) return false;
  try {
    s_->play.emplace(std::move(*t), allCores());
  } catch (const std::bad_alloc&) {
    return refuse(problem, SessionRefusal::OutOfMemory, "out of memory");
  } catch (const std::runtime_error& e) {
    return refuse(problem, SessionRefusal::NotPlayable, e.what());
  }
  s_->t = Tournament{};
  return saved(problem);
}

bool TournamentSession::run(const std::optional<std::string>& beacon, bool secretFileNamed,
                            const RunOptions& options, SessionProblem* problem) {
  if (s_->mayNotWrite(problem)) return false;
  std::optional<Tournament> t = s_->drawn(beacon, secretFileNamed, problem);
  if (!t) return false;
  std::optional<TournamentPlay> play;
  try {
    play.emplace(std::move(*t), options);
    play->playRest(options.threads, {}, options.progress);
  } catch (const std::bad_alloc&) {
    return refuse(problem, SessionRefusal::OutOfMemory, "out of memory");
  } catch (const std::runtime_error& e) {
    return refuse(problem, SessionRefusal::NotPlayable, e.what());
  }
  // Only a Swiss round that cannot be paired stops the play early, and it throws.
  if (!play->finished())
    return refuse(problem, SessionRefusal::NotPlayable, "the tournament stopped before its end");
  s_->play = std::move(play);
  s_->t = Tournament{};
  return saved(problem);
}

bool TournamentSession::started() const { return tournament().seed.has_value(); }

TournamentPlay* TournamentSession::play() { return s_->play ? &*s_->play : nullptr; }
const TournamentPlay* TournamentSession::play() const { return s_->play ? &*s_->play : nullptr; }

bool TournamentSession::record(Match played, SessionProblem* problem) {
  if (!s_->play)
    return refuse(problem, SessionRefusal::NotPlaying, "the tournament is not being played");
  if (s_->mayNotWrite(problem)) return false;
  try {
    s_->play->record(std::move(played));
  } catch (const std::invalid_argument& e) {
    return refuse(problem, SessionRefusal::NotPlayable, e.what());
  } catch (const std::runtime_error& e) {
    // The next Swiss round cannot be paired: what was recorded is kept all the same.
    save(nullptr);
    return refuse(problem, SessionRefusal::NotPlayable, e.what());
  }
  return save(problem);
}

bool TournamentSession::playRest(unsigned threads, const std::function<bool()>& cancelled,
                                 const std::function<void(std::size_t, std::size_t)>& progress,
                                 SessionProblem* problem) {
  if (!s_->play)
    return refuse(problem, SessionRefusal::NotPlaying, "the tournament is not being played");
  if (s_->mayNotWrite(problem)) return false;
  auto lastSave = std::chrono::steady_clock::now();
  std::size_t savedCount = s_->play->playedCount();
  const auto step = [&](std::size_t played, std::size_t total) {
    // Played matches are taken in only once every match that was ready with them has been
    // played: a Swiss round, in elimination every match whose players were known, a round
    // robin whole. A save is due only once some have been taken in.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastSave >= kSaveInterval && s_->play->playedCount() != savedCount) {
      save(nullptr);  // the last save says whether the file holds everything
      savedCount = s_->play->playedCount();
      lastSave = now;
    }
    if (progress) progress(played, total);
  };
  std::optional<std::pair<SessionRefusal, std::string>> failure;
  try {
    s_->play->playRest(std::max(1u, threads), cancelled, step);
  } catch (const std::bad_alloc&) {
    failure.emplace(SessionRefusal::OutOfMemory, "out of memory");
  } catch (const std::runtime_error& e) {
    failure.emplace(SessionRefusal::NotPlayable, e.what());
  }
  // The calling thread tells the progress after each match it plays itself, so the matches the
  // other threads end after its last one go untold: the bar is told where play stopped.
  if (progress) progress(s_->play->playedCount(), s_->play->totalCount());
  const bool saved = save(problem);
  if (failure) return refuse(problem, failure->first, std::move(failure->second));
  return saved;
}

bool TournamentSession::save(SessionProblem* problem) {
  if (s_->mayNotWrite(problem)) return false;
  if (s_->fromPage) {
    s_->unsaved = true;
    const std::string name = pathToUtf8(s_->file);
    return refuse(problem, SessionRefusal::Unsaved,
                  Refusal::said(Refusal::Kind::IsAPage,
                                name + ": a page is not rewritten; keep the tournament as a file "
                                       "with 保存",
                                name));
  }
  Refusal cause;
  const bool ok = saveTournamentFile(s_->file, tournament(), s_->kept, &cause);
  s_->unsaved = !ok;
  return ok || refuse(problem, SessionRefusal::Unsaved, std::move(cause));
}

bool TournamentSession::saved(SessionProblem* problem) { return save(problem); }

bool TournamentSession::saveAs(const fs::path& file, SessionProblem* problem) {
  std::error_code ec;
  if (fs::equivalent(file, s_->file, ec) && !s_->fromPage) return save(problem);
  // Held while it is written, when it can be: a file another has open is never written over.
  std::optional<SessionProblem> notHeld;
  const FileHold hold = holdOf(file, notHeld);
  if (notHeld && notHeld->why == SessionRefusal::HeldElsewhere)
    return refuse(problem, SessionRefusal::Unwritable, *notHeld->cause);
  Refusal cause;
  return writeTextFile(file, tournamentJson(tournament()), false, &cause) ||
         refuse(problem, SessionRefusal::Unwritable, std::move(cause));
}

std::optional<fs::path> tournamentDirectory(Refusal* refusal) {
  const fs::path game = userDataDirectory();
  if (game.empty()) {
    Refusal none =
        Refusal::said(Refusal::Kind::NoHomeFolder,
                      "no folder for tournaments (neither XDG_DATA_HOME nor HOME is set)");
    none.what = "tournament";
    refuse(refusal, std::move(none));
    return std::nullopt;
  }
  std::error_code ec;
  fs::create_directories(game, ec);
  if (ec) {
    refuse(refusal, Refusal::said(Refusal::Kind::CannotCreateFolder,
                                  pathToUtf8(game) + " cannot be created: " + ec.message(),
                                  pathToUtf8(game), ec.value()));
    return std::nullopt;
  }
  return privateDirectory(game / "tournaments", refusal);
}

std::vector<fs::path> unfinishedTournaments(const fs::path& directory) {
  std::vector<std::pair<fs::file_time_type, fs::path>> found;
  std::error_code ec;
  for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& file = it->path();
    if (!endsWith(pathToUtf8(file.filename()), kTournamentExtension)) continue;
    // Links and anything but a regular file are a stranger's: never followed.
    std::error_code kind;
    if (!fs::is_regular_file(fs::symlink_status(file, kind))) continue;
    // Only the head: a kept tournament of a thousand entries is not parsed whole at each start.
    const std::optional<std::string> bytes =
        readStrangersFile(file, kTournamentMaxBytes, kTournamentMaxBytes, "tournament", nullptr);
    const std::optional<TournamentHead> head = bytes ? tournamentHead(*bytes) : std::nullopt;
    if (!head || head->stage == Stage::Finished) continue;
    const fs::file_time_type when = fs::last_write_time(file, kind);
    found.emplace_back(kind ? fs::file_time_type::min() : when, file);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::vector<fs::path> files;
  for (auto& [when, file] : found) files.push_back(std::move(file));
  return files;
}

fs::path newTournamentFile(const fs::path& directory, const std::string& name,
                           std::chrono::system_clock::time_point now) {
  char stamp[32] = "tournament";
  if (const std::optional<std::tm> local = localCalendarTime(now))
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M", &*local);
  const std::string stem = std::string(stamp) + "-" + replay::safeFileName(name);
  fs::path file;
  for (int n = 1; n <= kNameAttempts; ++n) {
    std::string candidate = stem;
    if (n > 1) {
      candidate += '-';
      candidate += std::to_string(n);
    }
    candidate += kTournamentExtension;
    file = directory / candidate;
    if (!fileStatus(file) && !fileStatus(secretFileOf(file))) break;
  }
  return file;
}

fs::path secretFileOf(const fs::path& file) {
  std::string name = pathToUtf8(file.filename());
  if (name.size() > kTournamentExtension.size() && endsWith(name, kTournamentExtension))
    name.resize(name.size() - kTournamentExtension.size());
  name += kSecretExtension;
  return file.parent_path() / utf8ToPath(name);
}

}  // namespace momiru::report
