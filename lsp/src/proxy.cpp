// Our server in front of another one. Every message passes between the editor
// and the child server unchanged, except:
//   - "initialize": the child answers first, then ours in the child's position
//     encoding; the editor gets the child's capabilities plus our code actions
//     and commands. Our initializationOptions never reach the child; others
//     (the child's own) do.
//   - "textDocument/codeAction" and "shutdown": both answer; the editor gets one
//     answer (the two action lists in one), and one side's failure does not
//     lose the other's.
//   - "workspace/executeCommand" for one of our commands: ours only.
//   - requests the servers send to the editor: renumbered, so that the two
//     servers' ids cannot collide; the answers go back under the old id.
//   - "textDocument/publishDiagnostics": the editor replaces a document's
//     diagnostics with each list it gets from its one server, so it gets both
//     servers' last lists for the document as one.
// Text synchronisation and every other notification go to both.
//
// Nothing from the child is trusted: a message it frames or encodes badly is
// dropped, and when it stops, its open requests are answered with an error,
// the editor is told, and our actions keep working.
//
// Threads: this one reads the editor; one reads the child and one writes to
// it (a child that stops reading never stalls the editor); one runs our
// server, so that our work never holds back a message for the child.
#include "quillmark/lsp_proxy.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "frame_reader.h"
#include "quillmark/posix_platform.h"

extern char** environ;

namespace quillmark::lsp {
namespace {

using Json = nlohmann::json;

constexpr int kRequestFailed = -32803;
constexpr int kMessageError = 1;

const Json* Member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::string Dump(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The member `key` of `object`, made an object when it is anything else.
Json& ObjectAt(Json& object, const char* key) {
  Json& member = object[key];
  if (!member.is_object()) member = Json::object();
  return member;
}

bool IsValidId(const Json* id) {
  return id != nullptr && (id->is_string() || id->is_number_integer());
}

Json ErrorResponse(const Json& id, int code, const std::string& message) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

Json ShowMessage(int type, const std::string& text) {
  return {{"jsonrpc", "2.0"},
          {"method", "window/showMessage"},
          {"params", {{"type", type}, {"message", text}}}};
}

// Message bodies waiting for one reader; once closed, pushes are dropped.
class MessageQueue {
 public:
  void Push(std::string body) {
    {
      const std::lock_guard lock(mutex_);
      if (closed_) return;
      bodies_.push_back(std::move(body));
    }
    ready_.notify_one();
  }
  // False once the queue is closed and empty.
  bool Pop(std::string& body) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return closed_ || !bodies_.empty(); });
    if (bodies_.empty()) return false;
    body = std::move(bodies_.front());
    bodies_.pop_front();
    return true;
  }
  // The reader still gets what was pushed, unless `dropPending`.
  void Close(bool dropPending = false) {
    {
      const std::lock_guard lock(mutex_);
      closed_ = true;
      if (dropPending) bodies_.clear();
    }
    ready_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::string> bodies_;
  bool closed_ = false;
};

class DescriptorStream final : public ByteStream {
 public:
  explicit DescriptorStream(int fd) : fd_(fd) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, size);
      if (got < 0 && errno == EINTR) continue;
      return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
  }
  bool Write(std::string_view bytes) override { return WriteAll(fd_, bytes); }

 private:
  int fd_;
};

// The editor's two descriptors as one stream.
class EditorStream final : public ByteStream {
 public:
  EditorStream(int in, int out) : in_(in), out_(out) {}
  std::size_t Read(char* buffer, std::size_t size) override { return in_.Read(buffer, size); }
  bool Write(std::string_view bytes) override { return out_.Write(bytes); }

 private:
  DescriptorStream in_;
  DescriptorStream out_;
};

std::string Framed(std::string_view body) {
  std::string frame = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  frame += body;
  return frame;
}

// The server's name for messages: its program's file name ("clangd").
std::string ServerName(const std::vector<std::string>& command) {
  const std::string& program = command.front();
  return program.substr(program.find_last_of('/') + 1);
}

struct ChildProcess {
  pid_t pid = -1;
  int input = -1;   // our end of its standard input
  int output = -1;  // our end of its standard output
};

// Starts the child with pipes for its standard input and output; its standard
// error is ours (the editor's log). SIGPIPE, which we ignore, is its default again.
bool StartChild(const std::vector<std::string>& command, ChildProcess& child, std::string* error) {
  int toChild[2];
  int fromChild[2];
  if (::pipe2(toChild, O_CLOEXEC) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  if (::pipe2(fromChild, O_CLOEXEC) != 0) {
    *error = std::strerror(errno);
    ::close(toChild[0]);
    ::close(toChild[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const int failed = posix_spawnp(&child.pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(toChild[0]);
  ::close(fromChild[1]);
  if (failed != 0) {
    *error = std::strerror(failed);
    ::close(toChild[1]);
    ::close(fromChild[0]);
    return false;
  }
  child.input = toChild[1];
  child.output = fromChild[0];
  return true;
}

// How the child ended, for the user: waits a moment for a child that closed
// its output, then ends one that lingers.
std::string ReapChild(pid_t pid) {
  int status = 0;
  for (int tries = 0; tries < 50; ++tries) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
      if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
      return "ended";
    }
    if (done < 0) return "ended";
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return "closed its output; stopped";
}

// initialize's parameters as the child gets them: without our
// initializationOptions, and without the member at all when only ours were there.
void WithoutOurOptions(Json& params) {
  const auto options = params.find("initializationOptions");
  if (options == params.end()) return;
  if (options->is_object()) {
    options->erase("settings");
    options->erase("parser");
    if (!options->empty()) return;
  }
  params.erase(options);
}

// The two capability sets as one: the child's, plus our code action kinds and
// commands, and text synchronisation that opens, closes and changes documents.
Json MergeCapabilities(Json child, const Json& ours) {
  if (!child.is_object()) child = Json::object();
  if (const Json* ourActions = Member(ours, "codeActionProvider")) {
    Json& actions = child["codeActionProvider"];
    if (actions.is_null() || (actions.is_boolean() && !actions.get<bool>())) {
      actions = *ourActions;
    } else if (actions.is_object() && Member(actions, "codeActionKinds") != nullptr &&
               actions["codeActionKinds"].is_array()) {
      // Listed kinds are the only ones some editors ask for: ours join them.
      if (const Json* kinds = Member(*ourActions, "codeActionKinds"); kinds && kinds->is_array())
        for (const Json& kind : *kinds)
          if (std::find(actions["codeActionKinds"].begin(), actions["codeActionKinds"].end(),
                        kind) == actions["codeActionKinds"].end())
            actions["codeActionKinds"].push_back(kind);
    }
  }
  if (const Json* ourCommands = Member(ours, "executeCommandProvider")) {
    Json& provider = child["executeCommandProvider"];
    if (!provider.is_object()) provider = Json::object();
    Json& commands = provider["commands"];
    if (!commands.is_array()) commands = Json::array();
    if (const Json* list = Member(*ourCommands, "commands"); list && list->is_array())
      for (const Json& command : *list) commands.push_back(command);
  }
  Json& sync = child["textDocumentSync"];
  if (sync.is_number_integer()) {
    if (sync.get<long long>() < 1 || sync.get<long long>() > 2) sync = 2;
  } else {
    if (!sync.is_object()) sync = Json::object();
    sync["openClose"] = true;
    const Json* change = Member(sync, "change");
    if (change == nullptr || !change->is_number_integer() || change->get<long long>() < 1 ||
        change->get<long long>() > 2)
      sync["change"] = 2;
  }
  if (Member(child, "positionEncoding") == nullptr) {
    if (const Json* encoding = Member(ours, "positionEncoding"))
      child["positionEncoding"] = *encoding;
  }
  return child;
}

class Proxy : public std::enable_shared_from_this<Proxy> {
 public:
  Proxy(const LspOptions& options, std::vector<std::string> command)
      : options_(options), command_(std::move(command)), name_(ServerName(command_)) {}

  int Run(ByteStream& editor);

 private:
  enum class Side { kChild, kOurs };
  enum class Kind { kInitialize, kCodeAction, kShutdown };
  // A request both servers answer; the editor gets one answer.
  struct Merge {
    Kind kind;
    Json id;
    Json params;                // initialize: the editor's, for ours after the child's answer
    std::optional<Json> child;  // the child's response, when it came
    std::optional<Json> ours;
    bool childDone = false;
    bool oursDone = false;
  };
  // A request a server sent to the editor, under our id.
  struct Outbound {
    Side side;
    Json id;
  };
  // The diagnostics each server last published for one document.
  struct Published {
    Json child = Json::array();
    Json ours = Json::array();
    Json childVersion;  // null when the list came without one
    Json oursVersion;
  };
  // What one handler hands on once the state's lock is released.
  struct Outbox {
    std::vector<std::string> toEditor;
    std::vector<std::string> toChild;
    std::vector<std::string> toOurs;
  };

  void FromEditor(std::string_view body, Outbox& out);
  void EditorRequest(const Json& message, std::string_view body, const std::string& method,
                     Outbox& out);
  void EditorResponse(const Json& message, Outbox& out);
  void FromChild(std::string_view body, Outbox& out);
  void FromOurs(std::string_view body, Outbox& out);
  void ServerRequest(Side side, Json message, Outbox& out);
  void ServerCancel(Side side, Json message, Outbox& out);
  void MergeDiagnostics(Side side, const Json& message, std::string_view body, Outbox& out);
  void SendDiagnostics(const std::string& uri, const Published& published, Side side, Outbox& out);
  void ChildGone(const std::string& how, Outbox& out);
  void StartMerge(Kind kind, const Json& id, const Json& params);
  void MergePart(Side side, const std::string& key, Json response, Outbox& out);
  void Complete(Merge& merge, Outbox& out);
  void ForwardToChild(const Json& id, std::string_view body, Outbox& out);
  void Notice(const std::string& text, Outbox& out);
  void Deliver(Outbox& out);
  void WriteEditor(std::string_view body);

  void ReadChild();
  void WriteChild();
  void RunOurs();

  const LspOptions options_;
  const std::vector<std::string> command_;
  const std::string name_;
  ChildProcess child_;

  std::mutex mutex_;  // the routing state below
  bool childAlive_ = false;
  bool initialized_ = false;  // the editor has our initialize answer
  bool shutdown_ = false;
  bool exiting_ = false;
  std::vector<std::string> laterNotices_;  // held until the initialize answer
  std::vector<Json> ourCommands_;
  std::map<std::string, Merge> merges_;           // by the editor's id, dumped
  std::map<std::string, Json> forwarded_;         // editor requests the child owes
  std::map<long long, Outbound> outbound_;        // by our id
  std::map<std::string, Published> diagnostics_;  // by the document's URI
  long long nextOutbound_ = 1;

  std::mutex writeMutex_;  // the editor's output
  ByteStream* editor_ = nullptr;
  bool editorClosed_ = false;

  MessageQueue childQueue_;
  MessageQueue oursQueue_;
  std::mutex writerMutex_;
  std::condition_variable writerDone_;
  bool childWriterFinished_ = false;
};

void Proxy::WriteEditor(std::string_view body) {
  const std::lock_guard lock(writeMutex_);
  if (editorClosed_ || editor_ == nullptr) return;
  if (!editor_->Write(Framed(body))) editorClosed_ = true;
}

void Proxy::Deliver(Outbox& out) {
  for (std::string& body : out.toChild) childQueue_.Push(std::move(body));
  for (std::string& body : out.toOurs) oursQueue_.Push(std::move(body));
  for (const std::string& body : out.toEditor) WriteEditor(body);
  out = {};
}

void Proxy::Notice(const std::string& text, Outbox& out) {
  const std::string body = Dump(ShowMessage(kMessageError, text));
  if (initialized_) {
    out.toEditor.push_back(body);
  } else {
    laterNotices_.push_back(body);
  }
}

void Proxy::StartMerge(Kind kind, const Json& id, const Json& params) {
  Merge merge{kind, id, params, std::nullopt, std::nullopt, !childAlive_, false};
  merges_[Dump(id)] = std::move(merge);
}

void Proxy::ForwardToChild(const Json& id, std::string_view body, Outbox& out) {
  if (!childAlive_) {
    out.toEditor.push_back(
        Dump(ErrorResponse(id, kRequestFailed, "the language server " + name_ + " has stopped")));
    return;
  }
  forwarded_[Dump(id)] = id;
  out.toChild.emplace_back(body);
}

void Proxy::FromEditor(std::string_view body, Outbox& out) {
  Json message = Json::parse(body, nullptr, false);
  const Json* method = Member(message, "method");
  if (!message.is_object() || (method != nullptr && !method->is_string())) {
    out.toOurs.emplace_back(body);  // ours says what is wrong with it
    return;
  }
  if (method == nullptr) {
    if (IsValidId(Member(message, "id")) &&
        (Member(message, "result") != nullptr || Member(message, "error") != nullptr)) {
      EditorResponse(message, out);
    } else {
      out.toOurs.emplace_back(body);
    }
    return;
  }
  const std::string name = method->get<std::string>();
  if (Member(message, "id") != nullptr) return EditorRequest(message, body, name, out);
  if (name == "exit") {
    exiting_ = true;
    if (childAlive_) out.toChild.emplace_back(body);
    return;
  }
  if (childAlive_) out.toChild.emplace_back(body);
  out.toOurs.emplace_back(body);
}

void Proxy::EditorRequest(const Json& message, std::string_view body, const std::string& method,
                          Outbox& out) {
  const Json* id = Member(message, "id");
  if (!IsValidId(id)) {
    out.toOurs.emplace_back(body);  // ours refuses it
    return;
  }
  const Json empty = Json::object();
  const Json* params = Member(message, "params");
  if (params == nullptr) params = &empty;
  if (merges_.contains(Dump(*id)) || forwarded_.contains(Dump(*id))) {
    out.toEditor.push_back(Dump(ErrorResponse(*id, -32600, "a request with this id is open")));
    return;
  }
  if (method == "initialize") {
    StartMerge(Kind::kInitialize, *id, *params);
    if (!childAlive_) {
      out.toOurs.emplace_back(body);
      return;
    }
    Json forwarded = message;
    if (forwarded["params"].is_object()) WithoutOurOptions(forwarded["params"]);
    out.toChild.push_back(Dump(forwarded));
    return;
  }
  if (method == "textDocument/codeAction" || method == "shutdown") {
    if (method == "shutdown") shutdown_ = true;
    StartMerge(method == "shutdown" ? Kind::kShutdown : Kind::kCodeAction, *id, *params);
    if (childAlive_) out.toChild.emplace_back(body);
    out.toOurs.emplace_back(body);
    return;
  }
  if (method == "workspace/executeCommand") {
    const Json* command = Member(*params, "command");
    if (command != nullptr &&
        std::find(ourCommands_.begin(), ourCommands_.end(), *command) != ourCommands_.end()) {
      out.toOurs.emplace_back(body);
      return;
    }
  }
  ForwardToChild(*id, body, out);
}

void Proxy::EditorResponse(const Json& message, Outbox& out) {
  const Json& id = *Member(message, "id");
  if (!id.is_number_integer()) return;  // not one of our ids
  const auto it = outbound_.find(id.get<long long>());
  if (it == outbound_.end()) return;
  const Outbound request = std::move(it->second);
  outbound_.erase(it);
  Json answer = message;
  answer["id"] = request.id;
  if (request.side == Side::kOurs) {
    out.toOurs.push_back(Dump(answer));
  } else if (childAlive_) {
    out.toChild.push_back(Dump(answer));
  }
}

void Proxy::ServerRequest(Side side, Json message, Outbox& out) {
  const long long id = nextOutbound_++;
  outbound_[id] = {side, message["id"]};
  message["id"] = id;
  out.toEditor.push_back(Dump(message));
}

// A server cancels its own request to the editor under the id it knows.
void Proxy::ServerCancel(Side side, Json message, Outbox& out) {
  const Json* params = Member(message, "params");
  const Json* id = params != nullptr ? Member(*params, "id") : nullptr;
  if (id == nullptr) return;
  for (const auto& [ours, request] : outbound_) {
    if (request.side == side && request.id == *id) {
      message["params"]["id"] = ours;
      out.toEditor.push_back(Dump(message));
      return;
    }
  }
}

void Proxy::FromChild(std::string_view body, Outbox& out) {
  Json message = Json::parse(body, nullptr, false);
  if (!message.is_object()) {
    std::fprintf(stderr, "quillmark: %s sent a message that is not a JSON object; dropped\n",
                 name_.c_str());
    return;
  }
  const Json* method = Member(message, "method");
  const Json* id = Member(message, "id");
  if (method != nullptr && !method->is_string()) return;
  if (method == nullptr) {
    if (!IsValidId(id)) return;
    const std::string key = Dump(*id);
    if (merges_.contains(key)) return MergePart(Side::kChild, key, std::move(message), out);
    if (forwarded_.erase(key) > 0) out.toEditor.emplace_back(body);
    return;  // an answer to nothing asked
  }
  if (id != nullptr) {
    if (IsValidId(id)) ServerRequest(Side::kChild, std::move(message), out);
    return;
  }
  if (*method == "$/cancelRequest") return ServerCancel(Side::kChild, std::move(message), out);
  if (*method == "textDocument/publishDiagnostics")
    return MergeDiagnostics(Side::kChild, message, body, out);
  out.toEditor.emplace_back(body);
}

void Proxy::FromOurs(std::string_view body, Outbox& out) {
  Json message = Json::parse(body, nullptr, false);
  const Json* method = Member(message, "method");
  const Json* id = Member(message, "id");
  if (method == nullptr && id != nullptr) {
    const std::string key = Dump(*id);
    if (merges_.contains(key)) return MergePart(Side::kOurs, key, std::move(message), out);
  } else if (method != nullptr && IsValidId(id)) {
    return ServerRequest(Side::kOurs, std::move(message), out);
  } else if (method != nullptr && *method == "textDocument/publishDiagnostics") {
    return MergeDiagnostics(Side::kOurs, message, body, out);
  }
  out.toEditor.emplace_back(body);
}

void Proxy::MergeDiagnostics(Side side, const Json& message, std::string_view body, Outbox& out) {
  const Json* params = Member(message, "params");
  const Json* uri = params != nullptr ? Member(*params, "uri") : nullptr;
  const Json* list = params != nullptr ? Member(*params, "diagnostics") : nullptr;
  if (uri == nullptr || !uri->is_string() || list == nullptr || !list->is_array()) {
    out.toEditor.emplace_back(body);  // nothing to merge; the editor judges it
    return;
  }
  const std::string key = uri->get<std::string>();
  Published& published = diagnostics_[key];
  const Json* version = Member(*params, "version");
  (side == Side::kChild ? published.child : published.ours) = *list;
  (side == Side::kChild ? published.childVersion : published.oursVersion) =
      version != nullptr ? *version : Json();
  SendDiagnostics(key, published, side, out);
  if (published.child.empty() && published.ours.empty()) diagnostics_.erase(key);
}

// Both lists as one, under the version of the side that just published when
// the other's list is empty or as of the same version.
void Proxy::SendDiagnostics(const std::string& uri, const Published& published, Side side,
                            Outbox& out) {
  const bool fromChild = side == Side::kChild;
  const Json& other = fromChild ? published.ours : published.child;
  const Json& version = fromChild ? published.childVersion : published.oursVersion;
  Json params = {{"uri", uri}, {"diagnostics", published.child}};
  for (const Json& diagnostic : published.ours) params["diagnostics"].push_back(diagnostic);
  if (!version.is_null() &&
      (other.empty() || version == (fromChild ? published.oursVersion : published.childVersion)))
    params["version"] = version;
  out.toEditor.push_back(Dump(
      Json{{"jsonrpc", "2.0"}, {"method", "textDocument/publishDiagnostics"}, {"params", params}}));
}

void Proxy::MergePart(Side side, const std::string& key, Json response, Outbox& out) {
  Merge& merge = merges_.at(key);
  if (side == Side::kChild) {
    merge.child = std::move(response);
    merge.childDone = true;
    if (merge.kind == Kind::kInitialize) {
      // Ours counts columns as the child does: the editor uses one encoding.
      Json ourRequest = {
          {"jsonrpc", "2.0"}, {"id", merge.id}, {"method", "initialize"}, {"params", merge.params}};
      const Json* result = Member(*merge.child, "result");
      if (result != nullptr) {
        const Json* capabilities = Member(*result, "capabilities");
        const Json* encoding =
            capabilities != nullptr ? Member(*capabilities, "positionEncoding") : nullptr;
        // clangd's own answer before the protocol had one.
        if (encoding == nullptr) encoding = Member(*result, "offsetEncoding");
        ObjectAt(ObjectAt(ObjectAt(ourRequest, "params"), "capabilities"),
                 "general")["positionEncodings"] =
            Json::array({encoding != nullptr && encoding->is_string() ? *encoding : "utf-16"});
      }
      out.toOurs.push_back(Dump(ourRequest));
    }
  } else {
    merge.ours = std::move(response);
    merge.oursDone = true;
  }
  if (merge.childDone && merge.oursDone) {
    Complete(merge, out);
    merges_.erase(key);
  }
}

void Proxy::Complete(Merge& merge, Outbox& out) {
  const Json* childResult = merge.child ? Member(*merge.child, "result") : nullptr;
  const Json* ourResult = merge.ours ? Member(*merge.ours, "result") : nullptr;
  Json answer = {{"jsonrpc", "2.0"}, {"id", merge.id}};
  switch (merge.kind) {
    case Kind::kInitialize: {
      if (ourResult == nullptr) {
        out.toEditor.push_back(Dump(*merge.ours));  // our refusal stands
        return;
      }
      const Json* ourCapabilities = Member(*ourResult, "capabilities");
      const Json* provider =
          ourCapabilities ? Member(*ourCapabilities, "executeCommandProvider") : nullptr;
      if (const Json* commands = provider ? Member(*provider, "commands") : nullptr;
          commands != nullptr && commands->is_array())
        ourCommands_.assign(commands->begin(), commands->end());
      Json result = *ourResult;
      if (childResult != nullptr && childResult->is_object()) {
        result = *childResult;
        result["capabilities"] = MergeCapabilities(
            Member(*childResult, "capabilities") ? (*childResult)["capabilities"] : Json::object(),
            ourCapabilities ? *ourCapabilities : Json::object());
      } else if (merge.child) {
        const Json* error = Member(*merge.child, "error");
        const Json* text = error != nullptr ? Member(*error, "message") : nullptr;
        Notice("quillmark: " + name_ + " did not initialize (" +
                   (text != nullptr && text->is_string() ? text->get<std::string>() : "no answer") +
                   "); Quillmark's code actions still work",
               out);
      }
      answer["result"] = std::move(result);
      out.toEditor.push_back(Dump(answer));
      initialized_ = true;
      for (std::string& notice : laterNotices_) out.toEditor.push_back(std::move(notice));
      laterNotices_.clear();
      return;
    }
    case Kind::kCodeAction: {
      if (childResult == nullptr && ourResult == nullptr) {
        // Both failed: the child's error says most about the editor's request.
        out.toEditor.push_back(Dump(merge.child ? *merge.child : *merge.ours));
        return;
      }
      Json actions = Json::array();
      for (const Json* list : {childResult, ourResult})
        if (list != nullptr && list->is_array())
          for (const Json& action : *list) actions.push_back(action);
      answer["result"] = std::move(actions);
      out.toEditor.push_back(Dump(answer));
      return;
    }
    case Kind::kShutdown:
      answer["result"] = nullptr;
      out.toEditor.push_back(Dump(answer));
      return;
  }
}

void Proxy::ChildGone(const std::string& how, Outbox& out) {
  childAlive_ = false;
  childQueue_.Close();
  // The child's diagnostics go with it; ours stay.
  for (auto it = diagnostics_.begin(); it != diagnostics_.end();) {
    Published& published = it->second;
    if (published.child.empty()) {
      ++it;
      continue;
    }
    published.child = Json::array();
    SendDiagnostics(it->first, published, Side::kOurs, out);
    it = published.ours.empty() ? diagnostics_.erase(it) : std::next(it);
  }
  for (const auto& [key, id] : forwarded_)
    out.toEditor.push_back(
        Dump(ErrorResponse(id, kRequestFailed, "the language server " + name_ + " has stopped")));
  forwarded_.clear();
  for (auto it = merges_.begin(); it != merges_.end();) {
    Merge& merge = it->second;
    if (merge.childDone) {
      ++it;
      continue;
    }
    merge.childDone = true;
    if (merge.kind == Kind::kInitialize) {
      out.toOurs.push_back(Dump(Json{{"jsonrpc", "2.0"},
                                     {"id", merge.id},
                                     {"method", "initialize"},
                                     {"params", merge.params}}));
    }
    if (merge.oursDone) {
      Complete(merge, out);
      it = merges_.erase(it);
    } else {
      ++it;
    }
  }
  if (!shutdown_ && !exiting_)
    Notice("quillmark: the language server " + name_ + " stopped (" + how +
               "); Quillmark's code actions still work",
           out);
}

void Proxy::ReadChild() {
  DescriptorStream stream(child_.output);
  FrameReader reader(stream, options_.maxMessageBytes);
  std::string body;
  std::string why;
  std::string how;  // why we ended it, if we did
  for (;;) {
    const Frame frame = reader.Next(body, why);
    if (frame == Frame::kEnd) break;
    if (frame == Frame::kBad && reader.RefusedForSize()) {
      // Waiting for that body would leave every open request unanswered.
      how = "ended: its " + why;
      ::kill(child_.pid, SIGKILL);
      break;
    }
    if (frame == Frame::kBad) {
      std::fprintf(stderr, "quillmark: a message from %s was dropped: %s\n", name_.c_str(),
                   why.c_str());
      continue;
    }
    Outbox out;
    try {
      const std::lock_guard lock(mutex_);
      FromChild(body, out);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quillmark: a message from %s was dropped: %s\n", name_.c_str(),
                   e.what());
    }
    Deliver(out);
  }
  ::close(child_.output);
  const std::string ended = ReapChild(child_.pid);
  if (how.empty()) how = ended;
  Outbox out;
  {
    const std::lock_guard lock(mutex_);
    ChildGone(how, out);
  }
  Deliver(out);
}

void Proxy::WriteChild() {
  DescriptorStream stream(child_.input);
  std::string body;
  bool broken = false;
  while (childQueue_.Pop(body)) {
    if (!broken && !stream.Write(Framed(body))) broken = true;  // its reader reports the end
  }
  ::close(child_.input);
  {
    const std::lock_guard lock(writerMutex_);
    childWriterFinished_ = true;
  }
  writerDone_.notify_all();
}

void Proxy::RunOurs() {
  Server server(options_, [this](std::string_view body) {
    Outbox out;
    {
      const std::lock_guard lock(mutex_);
      FromOurs(body, out);
    }
    Deliver(out);
    return true;
  });
  std::string body;
  while (oursQueue_.Pop(body)) {
    if (!server.Handle(body)) break;
  }
}

int Proxy::Run(ByteStream& editor) {
  editor_ = &editor;
  std::string error;
  const bool started = StartChild(command_, child_, &error);
  if (started) {
    childAlive_ = true;
    // Detached: a child that never closes its output must not keep us from exiting.
    std::thread([self = shared_from_this()] { self->ReadChild(); }).detach();
    std::thread([self = shared_from_this()] { self->WriteChild(); }).detach();
  } else {
    std::fprintf(stderr, "quillmark: cannot start %s: %s\n", name_.c_str(), error.c_str());
    Outbox out;
    Notice("quillmark: cannot start " + name_ + " (" + error +
               "); Quillmark's code actions still work",
           out);
  }
  std::thread ours(&Proxy::RunOurs, this);

  FrameReader reader(editor, options_.maxMessageBytes);
  std::string body;
  std::string why;
  bool exited = false;
  while (!exited) {
    const Frame frame = reader.Next(body, why);
    if (frame == Frame::kEnd) break;
    Outbox out;
    if (frame == Frame::kBad) {
      out.toEditor.push_back(Dump(ErrorResponse(nullptr, -32700, why)));
      Deliver(out);
      if (!reader.SkipRefusedBody()) break;
      continue;
    }
    try {
      const std::lock_guard lock(mutex_);
      FromEditor(body, out);
      exited = exiting_;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quillmark: a message from the editor was dropped: %s\n", e.what());
    }
    Deliver(out);
  }

  int status = 1;
  {
    const std::lock_guard lock(mutex_);
    exiting_ = true;
    status = exited && shutdown_ ? 0 : 1;
  }
  // The child gets its "exit" (or the end of its input) before we go; one
  // that does not read it is left to the end of its input.
  childQueue_.Close();
  oursQueue_.Close(/*dropPending=*/true);  // ours has nothing left to say after "exit"
  ours.join();
  if (started) {
    std::unique_lock lock(writerMutex_);
    writerDone_.wait_for(lock, std::chrono::milliseconds(200),
                         [this] { return childWriterFinished_; });
  }
  const std::lock_guard lock(writeMutex_);
  editorClosed_ = true;  // the detached reader no longer writes to the editor
  return status;
}

}  // namespace

int RunLanguageServerWith(std::FILE* in, std::FILE* out, const LspOptions& options,
                          const std::vector<std::string>& command) {
  if (command.empty()) {
    std::fputs("quillmark: --with needs the command of a language server\n", stderr);
    return 2;
  }
  // A closed pipe to the editor or the child fails a write instead of ending us.
  std::signal(SIGPIPE, SIG_IGN);
  EditorStream editor(::fileno(in), ::fileno(out));
  return std::make_shared<Proxy>(options, command)->Run(editor);
}

}  // namespace quillmark::lsp
