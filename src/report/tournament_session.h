// A tournament a host runs, from the first entry to the last match: gathering the field, closing
// it, the draw, the matches played one by one or all at once, and the file kept after every
// step. The game's screens and flow share one session, and each of momiru-lab's tournament
// commands is one step of one; it holds no Qt.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/refusal.h"
#include "report/tournament.h"
#include "report/tournament_schedule.h"

namespace momiru::report {

// Why a save-data file is not entered. The screen words each in Japanese; `detail` is the
// English reason the loader gave, for stderr.
enum class EntryRefusal {
  Unreadable,   // not found, a folder, a FIFO, no permission, not save data
  Tampered,     // failed its integrity check
  NoCharacter,  // level 0
  Duplicate,    // the same record as an entry already in
  Full,         // the format takes no more entries
  Closed,       // the field is closed
};

struct EntryResult {
  std::filesystem::path file;
  std::optional<int> entry;             // the entry it became
  std::optional<EntryRefusal> refusal;  // or why not
  std::optional<int> sameAs;            // Duplicate: that entry
  std::string reason;                   // Tampered, Unreadable: the save-data reader's reason
  std::string detail;
};

// What an add does when some files are refused.
enum class EntriesAdded {
  KeepAccepted,  // the game: the good files come in, the refused ones are listed
  AllOrNothing,  // momiru-lab: one refused file (or too many for the format) and none come in
};

// Why the session refused a step, or what went wrong in it.
enum class SessionRefusal {
  Unreadable,        // open: the file cannot be read or holds no tournament (the cause says why)
  NameTooLong,       // create: longer than kMaxTextBytes once made valid UTF-8
  Rules,             // create: rulesProblem() names what
  Exists,            // create: the file is there already; a tournament is never replaced
  NoRandomSource,    // no secret from the system's random source
  Unwritable,        // create, saveAs: the secret file or the tournament file cannot be written
  Closed,            // entries are closed: nothing comes in, goes out, or closes again
  NoSuchEntry,       // removeEntry: no entry of that number
  FewerThanTwo,      // closeEntries: a field needs two entries
  Full,              // addEntries, all or nothing: more entries than the format takes
  NotClosed,         // the draw before the field is closed
  Started,           // the draw of a tournament that has one
  Finished,          // the draw of a tournament that has been run
  DoesNotVerify,     // a file that did not verify is never played on
  BeaconTooLong,     // longer than kMaxTextBytes
  BeaconWrongKind,   // not of the kind declared (the english says how)
  TooManyRounds,     // closeEntries: more Swiss rounds asked than the field can play
  SecretUnreadable,  // the secret file cannot be read or holds no secret
  WrongSecret,       // the secret is not the one the commitment promised
  SecretFileNamed,   // a secret file named for a tournament without a commitment (it has none)
  NotPlaying,        // record and playRest before the draw
  NotPlayable,       // a match or a round these rules do not play (a Swiss round unpaired)
  OutOfMemory,
  Unsaved,  // the change is made, but the file could not be written (the cause says why)
  // One writer at a time: the session may only look at its file (lookOnly()), and every step that
  // would write it is refused with this, before anything changes.
  HeldElsewhere,  // another game or momiru-lab has the file open and holds it
  CannotHold,     // no hold of the file can be had (the cause says why: a read-only folder, ...)
};

// A refused step, as a value each front end words: the kind, the file's own refusal beneath it
// where a file was read or written, the rules' problem, and the English the lab prints and the
// game writes to stderr.
struct SessionProblem {
  SessionRefusal why = SessionRefusal::Unsaved;
  std::optional<Refusal> cause;         // Unreadable, Unwritable, Unsaved, SecretUnreadable,
                                        // HeldElsewhere, CannotHold
  std::optional<RulesProblem> rules;    // Rules
  std::optional<BeaconProblem> beacon;  // BeaconWrongKind
  std::string english;
};

// How a kept file is opened.
enum class Opening {
  // The game plays on it and keeps it: a started tournament is verified first (one that does not
  // verify is never played on), and a page is never written back.
  ToPlay,
  // One step of momiru-lab: the file as it stands, checked only by the step, written back as the
  // file it was named.
  AsItStands,
};

// One writer at a time: a session holds its file (FileHold) from its creation or its opening to
// its end, so that another game or momiru-lab that opens the same file may only look at it, and
// nobody writes it but the holder. And each save checks, just before it replaces the file, that
// the file is still the one the session read or last wrote: when another program changed it
// anyway, the save is refused (Unsaved, its cause ChangedSince), the file is left as that program
// made it and the session keeps its own in memory.
class TournamentSession {
 public:
  // A new tournament, open for entries, kept in `file` (written at once, refused when it
  // exists, or when its hold is another's: HeldElsewhere). With `fairDraw`, a secret is drawn from
  // the system's random source and kept in `secretFile` (owner only); the commitment is then in
  // tournament().commitment. Nothing, with `problem` set, when a file cannot be written or no
  // secret can be drawn. A round robin's rounds 0 stand for once. Refused for a name or rules
  // whyNotNew refuses, before anything is written. `beacon` declares the beacon's kind and
  // source, which the commitment binds with the name and the rules (a source longer than
  // kMaxTextBytes is cut).
  static std::optional<TournamentSession> create(const std::filesystem::path& file,
                                                 const std::filesystem::path& secretFile,
                                                 std::string name, const TournamentRules& rules,
                                                 bool fairDraw, const std::string& writtenBy,
                                                 SessionProblem* problem,
                                                 BeaconDeclaration beacon = {});
  // What create refuses of a name and rules, in its order: NameTooLong, then Rules.
  static std::optional<SessionRefusal> whyNotNew(const std::string& name,
                                                 const TournamentRules& rules);
  // The rules create makes a tournament with: a round robin's rounds 0 made 1.
  static TournamentRules newRules(TournamentRules rules);
  // A tournament file (or page) kept or received; verified when it has been started. Nothing,
  // with `problem` set, when it cannot be read; a tournament that does not verify opens with
  // verifyProblem() set and is never played on (its matches are shown as the file claims).
  // `secretFile` is where its secret would be, for one not started yet.
  // Opened AsItStands, nothing is verified and the file is written back whatever it was.
  // The file is held as it is opened; when another holds it or no hold can be had, the session
  // opens all the same, to look only (lookOnly()). A page opened ToPlay, never written back, is
  // not held.
  static std::optional<TournamentSession> open(const std::filesystem::path& file,
                                               const std::filesystem::path& secretFile,
                                               const std::string& writtenBy,
                                               SessionProblem* problem,
                                               Opening opening = Opening::ToPlay);

  TournamentSession(TournamentSession&&) noexcept;
  TournamentSession& operator=(TournamentSession&&) noexcept;
  ~TournamentSession();

  const Tournament& tournament() const;
  const std::filesystem::path& file() const;
  // Set when the file did not verify: the first difference, in English.
  const std::optional<std::string>& verifyProblem() const;
  // Set when the session may only look at its file: another holds it (HeldElsewhere), or no hold
  // of it can be had (CannotHold, the cause says why). Every step that would write the file is
  // then refused with this problem before anything changes; saveAs still keeps a copy elsewhere.
  const std::optional<SessionProblem>& lookOnly() const;

  // Gathering (stage Open). Each file is read as the entry screen reads it, all are tried, and
  // each is told against the entries and the files accepted before it (AllOrNothing: accepted
  // before the first refusal; a good file after it has neither entry nor refusal). KeepAccepted
  // keeps those accepted (a file past the format's limit is not read: Full). AllOrNothing keeps
  // them only when none is refused and the field stays within the limit; otherwise none has an
  // entry, and when nothing else was refused the files past the limit are Full. What is kept is
  // saved once, after all; when that save fails, `unsaved` (if given) says why and the entries
  // stay in memory; it is left empty otherwise.
  std::vector<EntryResult> addEntries(const std::vector<std::filesystem::path>& files,
                                      std::optional<SessionProblem>* unsaved = nullptr,
                                      EntriesAdded mode = EntriesAdded::KeepAccepted);
  bool removeEntry(int entry, SessionProblem* problem);
  // Closes the field: stage Closed and the entries digest. Refused below 2 entries, and for a
  // Swiss of more rounds than the field can play (mostSwissRounds): the rules the commitment
  // fixed are played whole or not at all.
  bool closeEntries(SessionProblem* problem);
  // The draw: reveals the secret (from the secret file, or a fresh one without a commitment),
  // takes the beacon (refused when it is not of its declared kind), makes the entries digest and
  // the tournament seed (revealDraw) and draws the seeds; the matches can then be played. Saved at
  // once.
  bool start(const std::optional<std::string>& beacon, SessionProblem* problem);
  // momiru-lab's run: the draw as start makes it (whatever matches the file brought), then every
  // match without a screen on `options.threads` threads, `options.progress` hearing each, and the
  // file written once, at the end: refused or failed, the file is left as it was.
  // `secretFileNamed`: the caller named the secret file, which a tournament without a commitment
  // refuses.
  bool run(const std::optional<std::string>& beacon, bool secretFileNamed,
           const RunOptions& options, SessionProblem* problem);
  bool started() const;  // has a seed

  // Playing (after start). Null before the start and for a file that did not verify.
  TournamentPlay* play();
  const TournamentPlay* play() const;
  // Records a played match and saves the file (atomically). False, with `problem` set, when the
  // save fails: the match stays recorded in memory.
  bool record(Match played, SessionProblem* problem);
  // Plays the ready matches without a screen (TournamentPlay::playRest) on `threads` threads
  // until the end or `cancelled`, saving at most twice a second and once at the end. Runs on any
  // one thread; nothing else may touch the session meanwhile. False, with `problem` set, when the
  // last save fails or a Swiss round cannot be paired (what was played stays recorded).
  bool playRest(unsigned threads, const std::function<bool()>& cancelled,
                const std::function<void(std::size_t played, std::size_t total)>& progress,
                SessionProblem* problem);
  // Saves the file as it stands now; and a copy elsewhere (保存), atomically.
  // A tournament opened from a page is never written back into the page: its saves fail, and
  // 保存 keeps it as a file. A copy is never written over a file another holds (Unwritable, its
  // cause HeldElsewhere); one over the session's own file is its save.
  bool save(SessionProblem* problem);
  bool saveAs(const std::filesystem::path& file, SessionProblem* problem);
  // True when the tournament holds a change its file does not have (the last save failed).
  // removeEntry, closeEntries, start and record return false both when refused (nothing
  // changed) and when the change was made but not saved; this tells the two apart.
  bool unsaved() const;

 private:
  // A session kept in `file`, its secret in `secretFile`, its saves written by `writtenBy`.
  TournamentSession(std::filesystem::path file, std::filesystem::path secretFile,
                    std::string writtenBy);
  // save, with the problem Unsaved when it fails.
  bool saved(SessionProblem* problem);
  struct State;
  std::unique_ptr<State> s_;
};

// Where the game keeps tournaments: $XDG_DATA_HOME/momiru-battle/tournaments (or
// ~/.local/share/...), created on demand (0700). Nothing when it cannot be made.
std::optional<std::filesystem::path> tournamentDirectory(Refusal* refusal);
// The kept tournaments not finished yet, newest first: what the game offers to continue.
std::vector<std::filesystem::path> unfinishedTournaments(const std::filesystem::path& directory);
// A file in `directory` for a new tournament: "2026-12-08-2301-<name>.momiru-tournament" from
// the local time `now` and the name made safe for any file system; a number is added while that
// name or its secret file's is taken.
std::filesystem::path newTournamentFile(const std::filesystem::path& directory,
                                        const std::string& name,
                                        std::chrono::system_clock::time_point now);
// Where the secret of the tournament `file` is kept: beside it, ".momiru-tournament" replaced
// by ".momiru-secret" (added to any other name), as momiru-lab keeps it.
std::filesystem::path secretFileOf(const std::filesystem::path& file);

}  // namespace momiru::report
