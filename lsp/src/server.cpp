// The protocol: lifecycle, text synchronisation, code actions and the
// commands behind them, the requests the server sends to the client, and the
// diagnostics of stale blocks with their quick fixes.
//
// Threads: every message is handled on the caller's thread; the checks for
// stale blocks run on the scheduler's (check_scheduler.h), which reads the
// documents and publishes the diagnostics under `documentsMutex`. Only the
// caller's thread changes a document, and only under that lock.
#include <atomic>
#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "check_scheduler.h"
#include "quillmark/lsp.h"
#include "quillmark/version.h"

namespace quillmark::lsp {
namespace {

using Json = nlohmann::json;

// JSON-RPC and protocol error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestFailed = -32803;
constexpr int kContentModified = -32801;

constexpr int kMessageError = 1;
constexpr int kMessageWarning = 2;
constexpr int kSeverityWarning = 2;
constexpr char kRunCommand[] = "quillmark.run";
constexpr char kActionKind[] = "refactor.rewrite";
constexpr char kQuickFixKind[] = "quickfix";
// The quick fix's action when it runs as a command (for clients without code
// action literals): the server makes the check's edits itself.
constexpr char kRefreshAction[] = "refresh";

const Json* Member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::optional<std::string> StringMember(const Json& object, const char* key) {
  const Json* value = Member(object, key);
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<long long> IntegerMember(const Json& object, const char* key) {
  const Json* value = Member(object, key);
  if (value == nullptr) return std::nullopt;
  if (value->is_number_unsigned()) {
    const auto n = value->get<unsigned long long>();
    return n > static_cast<unsigned long long>(INT64_MAX) ? INT64_MAX : static_cast<long long>(n);
  }
  if (value->is_number_integer()) return value->get<long long>();
  return std::nullopt;
}

const Json* At(const Json& root, std::initializer_list<const char*> path) {
  const Json* node = &root;
  for (const char* key : path) {
    node = Member(*node, key);
    if (node == nullptr) return nullptr;
  }
  return node;
}

bool BoolAt(const Json& root, std::initializer_list<const char*> path) {
  const Json* node = At(root, path);
  return node != nullptr && node->is_boolean() && node->get<bool>();
}

// The document a request or notification names: params.textDocument.uri, or
// params.uri from a client that leaves out the wrapper.
std::optional<std::string> DocumentUri(const Json& params) {
  const Json* textDocument = Member(params, "textDocument");
  return StringMember(textDocument != nullptr ? *textDocument : params, "uri");
}

std::string Dump(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

const char* EncodingName(PositionEncoding encoding) {
  switch (encoding) {
    case PositionEncoding::kUtf8:
      return "utf-8";
    case PositionEncoding::kUtf16:
      return "utf-16";
    case PositionEncoding::kUtf32:
      return "utf-32";
  }
  return "utf-16";
}

// UTF-8 when the client offers it (no conversion at all), else the first of
// UTF-16 and UTF-32 in the client's order, else the protocol's UTF-16.
PositionEncoding NegotiateEncoding(const Json& capabilities) {
  const Json* offered = At(capabilities, {"general", "positionEncodings"});
  if (offered == nullptr || !offered->is_array()) return PositionEncoding::kUtf16;
  for (const Json& name : *offered) {
    if (name == "utf-8") return PositionEncoding::kUtf8;
  }
  for (const Json& name : *offered) {
    if (name == "utf-16") return PositionEncoding::kUtf16;
    if (name == "utf-32") return PositionEncoding::kUtf32;
  }
  return PositionEncoding::kUtf16;
}

// Whether the client's context.only (when it sends one) asks for actions of `kind`.
bool KindWanted(const Json& params, std::string_view kind) {
  const Json* only = At(params, {"context", "only"});
  if (only == nullptr || !only->is_array()) return true;
  for (const Json& asked : *only) {
    if (!asked.is_string()) continue;
    const std::string k = asked.get<std::string>();
    if (k.empty() || k == kind || kind.starts_with(k + ".")) return true;
  }
  return false;
}

// Whether the lines of a selection meet those of a stale block or its declaration.
bool Touches(const StaleBlock& block, ByteRange selection) {
  return selection.start.line <= block.declaration.start.line &&
         selection.end.line >= block.block.start.line;
}

// The text of line `line` after `edits` (document order, not overlapping).
std::string LineAfterEdits(const Document& document, const std::vector<ByteEdit>& edits, int line) {
  if (edits.empty()) return std::string(document.Line(line));
  const int first = edits.front().range.start.line;
  const int last = edits.back().range.end.line;
  const std::size_t regionStart = document.LineStart(first);
  const std::size_t regionEnd = document.Offset({last, 1 << 30});
  std::string region;
  std::size_t at = regionStart;
  for (const ByteEdit& edit : edits) {
    const std::size_t from = document.Offset(edit.range.start);
    const std::size_t to = document.Offset(edit.range.end);
    if (from < at || to < from) break;
    region.append(document.Text().substr(at, from - at));
    region += edit.newText;
    at = to;
  }
  region.append(document.Text().substr(at, regionEnd - std::min(at, regionEnd)));
  const Document after(std::move(region));
  const int regionLines = after.LineCount();
  if (line < first) return std::string(document.Line(line));
  if (line < first + regionLines) return std::string(after.Line(line - first));
  return std::string(document.Line(line - (first + regionLines) + last + 1));
}

}  // namespace

struct Server::State {
  enum class Phase { kUninitialized, kRunning, kShutDown };
  struct OpenDocument {
    Document document;
    long long version = 0;
    // Tells one text of the document from another, across documents too.
    std::uint64_t revision = 0;
    // The stale blocks of the text of `checkedRevision`, and the diagnostics the
    // client was sent, one for each block of the last check that published.
    std::vector<StaleBlock> stale;
    std::uint64_t checkedRevision = 0;
    Json published = Json::array();
  };
  struct Pending {
    std::string method;
    std::string uri;
    std::optional<Json> caret;
  };

  Sender send;
  std::unique_ptr<ActionProvider> ownProvider;
  ActionProvider* provider = nullptr;
  Phase phase = Phase::kUninitialized;
  PositionEncoding encoding = PositionEncoding::kUtf16;
  bool showDocument = false;
  bool documentChanges = false;
  bool applyEdit = false;
  bool codeActionLiterals = false;
  std::atomic<bool> stop = false;
  int exitCode = 1;
  long long nextId = 1;
  std::unordered_map<std::string, OpenDocument> documents;
  std::map<long long, Pending> pending;
  std::uint64_t lastRevision = 0;
  std::mutex sendMutex;        // one body at a time to the client
  std::mutex documentsMutex;   // see the top of the file
  std::string lastCheckError;  // the checking thread's, said once
  // Last: it stops, waiting for a check under way, before the rest goes.
  std::unique_ptr<CheckScheduler> checks;

  bool Send(const Json& message) {
    const std::string body = Dump(message);
    const std::lock_guard lock(sendMutex);
    if (!send(body)) stop = true;
    return !stop;
  }
  void Respond(const Json& id, Json result) {
    Send(Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
  }
  void Fail(const Json& id, int code, std::string_view message) {
    Send(Json{{"jsonrpc", "2.0"},
              {"id", id},
              {"error", {{"code", code}, {"message", std::string(message)}}}});
  }
  void Notify(const char* method, Json params) {
    Send(Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
  }
  void Request(const char* method, Json params, Pending pendingRequest) {
    const long long id = nextId++;
    pending[id] = std::move(pendingRequest);
    Send(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
  }

  // Protocol position -> byte position; nothing for a malformed one. Lines
  // past the end clamp to the document's end, columns to the line's end.
  std::optional<BytePosition> ToBytes(const Document& document, const Json& position) const {
    const auto line = IntegerMember(position, "line");
    const auto character = IntegerMember(position, "character");
    if (!line || !character || *line < 0 || *character < 0) return std::nullopt;
    if (*line >= document.LineCount()) return document.Clamp({document.LineCount(), 0});
    const int lineNumber = static_cast<int>(*line);
    return BytePosition{lineNumber, ByteColumn(document.Line(lineNumber), *character, encoding)};
  }
  std::optional<ByteRange> RangeToBytes(const Document& document, const Json& range) const {
    const Json* start = Member(range, "start");
    const Json* end = Member(range, "end");
    if (start == nullptr || end == nullptr) return std::nullopt;
    auto from = ToBytes(document, *start);
    auto to = ToBytes(document, *end);
    if (!from || !to) return std::nullopt;
    if (*to < *from) std::swap(*from, *to);
    return ByteRange{*from, *to};
  }
  Json ToProtocol(std::string_view line, BytePosition position) const {
    return {{"line", position.line}, {"character", EncodedColumn(line, position.column, encoding)}};
  }
  Json RangeToProtocol(const Document& document, ByteRange range) const {
    return {{"start", ToProtocol(document.Line(range.start.line), range.start)},
            {"end", ToProtocol(document.Line(range.end.line), range.end)}};
  }

  Json WorkspaceEdit(const std::string& uri, const OpenDocument& open,
                     std::vector<ByteEdit> edits) const;
  void HandleRequest(const Json& id, const std::string& method, const Json& params);
  void HandleNotification(const std::string& method, const Json& params);
  void HandleResponse(const Json& message);
  void Initialize(const Json& id, const Json& params);
  void CodeAction(const Json& id, const Json& params);
  void ExecuteCommand(const Json& id, const Json& params);
  void DidChange(const Json& params);
  void DidOpen(const Json& params);
  void DidClose(const Json& params);
  Json QuickFixes(const std::string& uri, const OpenDocument& open, ByteRange selection,
                  const Json& params);
  void RunRefresh(const Json& id, const std::string& uri, const OpenDocument& open,
                  ByteRange range);
  void CheckDocument(const std::string& uri);
  void Publish(const std::string& uri, OpenDocument& open, Json diagnostics);
};

void Server::State::Initialize(const Json& id, const Json& params) {
  const Json empty = Json::object();
  const Json* capabilities = Member(params, "capabilities");
  if (capabilities == nullptr) capabilities = &empty;
  encoding = NegotiateEncoding(*capabilities);
  showDocument = BoolAt(*capabilities, {"window", "showDocument", "support"});
  applyEdit = BoolAt(*capabilities, {"workspace", "applyEdit"});
  documentChanges = BoolAt(*capabilities, {"workspace", "workspaceEdit", "documentChanges"});
  codeActionLiterals =
      At(*capabilities, {"textDocument", "codeAction", "codeActionLiteralSupport"}) != nullptr;
  if (const Json* init = Member(params, "initializationOptions")) {
    if (auto settings = StringMember(*init, "settings")) provider->SetSettingsPath(*settings);
    if (auto parser = StringMember(*init, "parser")) provider->SetParser(*parser);
  }
  phase = Phase::kRunning;
  Respond(id, {{"capabilities",
                {{"positionEncoding", EncodingName(encoding)},
                 {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
                 {"codeActionProvider", {{"codeActionKinds", {kQuickFixKind, kActionKind}}}},
                 {"executeCommandProvider", {{"commands", {kRunCommand}}}}}},
               {"serverInfo", {{"name", "quillmark"}, {"version", QUILLMARK_VERSION}}}});
}

void Server::State::CodeAction(const Json& id, const Json& params) {
  const auto uri = DocumentUri(params);
  const Json* range = Member(params, "range");
  if (!uri || range == nullptr) return Fail(id, kInvalidParams, "textDocument.uri and range");
  const auto it = documents.find(*uri);
  if (it == documents.end()) return Fail(id, kInvalidParams, "document not open: " + *uri);
  const Document& document = it->second.document;
  const auto selection = RangeToBytes(document, *range);
  if (!selection) return Fail(id, kInvalidParams, "malformed range");

  // A client that asks only for other kinds gets none of ours.
  Json actions = KindWanted(params, kQuickFixKind)
                     ? QuickFixes(*uri, it->second, *selection, params)
                     : Json::array();
  if (!KindWanted(params, kActionKind)) return Respond(id, std::move(actions));
  for (const ListedAction& listed : provider->Actions({*uri, document}, *selection)) {
    Json command = {{"title", listed.title},
                    {"command", kRunCommand},
                    {"arguments",
                     {{{"uri", *uri},
                       {"version", it->second.version},
                       {"action", listed.id},
                       {"range", RangeToProtocol(document, *selection)}}}}};
    if (codeActionLiterals) {
      actions.push_back({{"title", listed.title}, {"kind", kActionKind}, {"command", command}});
    } else {
      actions.push_back(std::move(command));
    }
  }
  Respond(id, std::move(actions));
}

void Server::State::ExecuteCommand(const Json& id, const Json& params) {
  const auto command = StringMember(params, "command");
  if (!command || *command != kRunCommand)
    return Fail(id, kInvalidParams, "unknown command " + command.value_or("(none)"));
  const Json* arguments = Member(params, "arguments");
  if (arguments == nullptr || !arguments->is_array() || arguments->empty())
    return Fail(id, kInvalidParams, "quillmark.run takes one argument");
  const Json& argument = (*arguments)[0];
  const auto uri = StringMember(argument, "uri");
  const auto action = StringMember(argument, "action");
  const Json* range = Member(argument, "range");
  if (!uri || !action || range == nullptr)
    return Fail(id, kInvalidParams, "quillmark.run needs uri, action and range");
  const auto it = documents.find(*uri);
  if (it == documents.end()) return Fail(id, kInvalidParams, "document not open: " + *uri);
  if (const auto version = IntegerMember(argument, "version");
      version && *version != it->second.version)
    return Fail(id, kContentModified, "the document changed since the action was offered");
  const Document& document = it->second.document;
  const auto selection = RangeToBytes(document, *range);
  if (!selection) return Fail(id, kInvalidParams, "malformed range");
  if (*action == kRefreshAction) return RunRefresh(id, *uri, it->second, *selection);

  ActionResult result = provider->Run({*uri, document}, *selection, *action);
  if (!result.message.empty())
    Notify("window/showMessage", {{"type", kMessageWarning}, {"message", result.message}});
  if (result.edits.empty()) return Respond(id, nullptr);
  if (!applyEdit) return Fail(id, kRequestFailed, "the client cannot apply workspace edits");

  Pending request{"workspace/applyEdit", *uri, std::nullopt};
  if (result.caret) {
    const std::string line = LineAfterEdits(document, result.edits, result.caret->line);
    request.caret = ToProtocol(line, *result.caret);
  }
  Request("workspace/applyEdit",
          {{"label", "Quillmark"}, {"edit", WorkspaceEdit(*uri, it->second, result.edits)}},
          std::move(request));
  Respond(id, nullptr);
}

// Edits on the document as the client takes them: in its position encoding,
// under the document's version where the client can check it.
Json Server::State::WorkspaceEdit(const std::string& uri, const OpenDocument& open,
                                  std::vector<ByteEdit> edits) const {
  const Document& document = open.document;
  Json list = Json::array();
  for (ByteEdit& edit : edits) {
    edit.range = {document.Clamp(edit.range.start), document.Clamp(edit.range.end)};
    list.push_back({{"range", RangeToProtocol(document, edit.range)}, {"newText", edit.newText}});
  }
  Json workspaceEdit;
  if (documentChanges) {
    workspaceEdit["documentChanges"] = {
        {{"textDocument", {{"uri", uri}, {"version", open.version}}}, {"edits", list}}};
  } else {
    workspaceEdit["changes"] = {{uri, list}};
  }
  return workspaceEdit;
}

// A quick fix for each stale block of the document's current text that the
// selection touches, or that the client names among the context's diagnostics.
// A check still due for the current text lists none: its edits would be stale.
Json Server::State::QuickFixes(const std::string& uri, const OpenDocument& open,
                               ByteRange selection, const Json& params) {
  Json fixes = Json::array();
  const Json* named = At(params, {"context", "diagnostics"});
  const std::lock_guard lock(documentsMutex);
  if (open.checkedRevision != open.revision) return fixes;
  for (std::size_t i = 0; i < open.stale.size() && i < open.published.size(); ++i) {
    const StaleBlock& block = open.stale[i];
    const Json& ours = open.published[i];
    const Json* diagnostic = nullptr;
    if (named != nullptr && named->is_array()) {
      for (const Json& theirs : *named)
        if (Member(theirs, "source") != nullptr && theirs["source"] == "quillmark" &&
            Member(theirs, "range") != nullptr && theirs["range"] == ours["range"])
          diagnostic = &theirs;
    }
    if (diagnostic == nullptr && !Touches(block, selection)) continue;
    const std::string title = "Quillmark: refresh comment of " + block.subject;
    if (!codeActionLiterals) {
      fixes.push_back({{"title", title},
                       {"command", kRunCommand},
                       {"arguments",
                        {{{"uri", uri},
                          {"version", open.version},
                          {"action", kRefreshAction},
                          {"range", ours["range"]}}}}});
      continue;
    }
    fixes.push_back({{"title", title},
                     {"kind", kQuickFixKind},
                     {"diagnostics", {diagnostic != nullptr ? *diagnostic : ours}},
                     {"isPreferred", true},
                     {"edit", WorkspaceEdit(uri, open, block.refresh)}});
  }
  return fixes;
}

// The quick fix run as a command: the edits of the block's last check.
void Server::State::RunRefresh(const Json& id, const std::string& uri, const OpenDocument& open,
                               ByteRange range) {
  std::vector<ByteEdit> edits;
  {
    const std::lock_guard lock(documentsMutex);
    if (open.checkedRevision != open.revision)
      return Fail(id, kContentModified, "the document is still being checked");
    for (const StaleBlock& block : open.stale)
      if (block.changed == range) edits = block.refresh;
  }
  if (edits.empty()) return Fail(id, kRequestFailed, "no stale block there");
  if (!applyEdit) return Fail(id, kRequestFailed, "the client cannot apply workspace edits");
  Request("workspace/applyEdit",
          {{"label", "Quillmark"}, {"edit", WorkspaceEdit(uri, open, std::move(edits))}},
          {"workspace/applyEdit", uri, std::nullopt});
  Respond(id, nullptr);
}

void Server::State::DidChange(const Json& params) {
  const Json* textDocument = Member(params, "textDocument");
  const Json* changes = Member(params, "contentChanges");
  if (textDocument == nullptr || changes == nullptr || !changes->is_array()) return;
  const auto uri = StringMember(*textDocument, "uri");
  if (!uri) return;
  const auto it = documents.find(*uri);
  if (it == documents.end()) return;  // never opened: nothing to change
  Document& document = it->second.document;
  std::unique_lock lock(documentsMutex);
  it->second.revision = ++lastRevision;
  for (const Json& change : *changes) {
    const auto text = StringMember(change, "text");
    if (!text) continue;
    if (const Json* range = Member(change, "range")) {
      const auto bytes = RangeToBytes(document, *range);
      if (!bytes) continue;
      document.Replace(document.Offset(bytes->start), document.Offset(bytes->end), *text);
    } else {
      document.SetText(*text);
    }
  }
  if (const auto version = IntegerMember(*textDocument, "version")) it->second.version = *version;
  lock.unlock();
  checks->Changed(*uri);
}

void Server::State::DidOpen(const Json& params) {
  const Json* item = Member(params, "textDocument");
  if (item == nullptr) return;
  const auto uri = StringMember(*item, "uri");
  const auto text = StringMember(*item, "text");
  if (!uri || !text) return;
  OpenDocument open;
  open.document.SetText(*text);
  open.version = IntegerMember(*item, "version").value_or(0);
  {
    const std::lock_guard lock(documentsMutex);
    open.revision = ++lastRevision;
    // Opened again without a close: what the client was sent still stands.
    if (const auto it = documents.find(*uri); it != documents.end())
      open.published = std::move(it->second.published);
    documents[*uri] = std::move(open);
  }
  checks->Changed(*uri);
}

// The client drops a closed document's diagnostics only when told to.
void Server::State::DidClose(const Json& params) {
  const auto uri = DocumentUri(params);
  if (!uri) return;
  checks->Forget(*uri);
  const std::lock_guard lock(documentsMutex);
  const auto it = documents.find(*uri);
  if (it == documents.end()) return;
  if (!it->second.published.empty())
    Notify("textDocument/publishDiagnostics", {{"uri", *uri}, {"diagnostics", Json::array()}});
  documents.erase(it);
}

// On the checking thread: the document's text is copied under the lock,
// checked without it, and the result kept (and published) only when the text
// is still the one checked; a change since has its own check due.
void Server::State::CheckDocument(const std::string& uri) {
  std::string text;
  std::uint64_t revision = 0;
  {
    const std::lock_guard lock(documentsMutex);
    const auto it = documents.find(uri);
    if (it == documents.end()) return;
    text = it->second.document.Text();
    revision = it->second.revision;
  }
  const Document snapshot(std::move(text));
  std::vector<StaleBlock> blocks;
  std::string error;
  bool checked = false;
  try {
    checked = provider->FindStaleBlocks({uri, snapshot}, &blocks, &error);
  } catch (const std::exception& e) {
    error = std::string("internal error: ") + e.what();
  }
  if (!checked) {
    blocks.clear();
    // Said once: the same failure comes back with every change.
    if (error != lastCheckError)
      Notify("window/logMessage", {{"type", kMessageError},
                                   {"message", "quillmark: cannot check " + uri + ": " + error}});
  }
  lastCheckError = checked ? std::string() : error;
  Json diagnostics = Json::array();
  for (const StaleBlock& block : blocks)
    diagnostics.push_back({{"range", RangeToProtocol(snapshot, block.changed)},
                           {"severity", kSeverityWarning},
                           {"source", "quillmark"},
                           {"code", "stale"},
                           {"message", block.message}});
  const std::lock_guard lock(documentsMutex);
  const auto it = documents.find(uri);
  if (it == documents.end() || it->second.revision != revision || stop) return;
  it->second.stale = std::move(blocks);
  it->second.checkedRevision = revision;
  Publish(uri, it->second, std::move(diagnostics));
}

// Sends the diagnostics when they differ from what the client has; a document
// that never had a stale block hears nothing. Under `documentsMutex`.
void Server::State::Publish(const std::string& uri, OpenDocument& open, Json diagnostics) {
  if (diagnostics == open.published) return;
  open.published = std::move(diagnostics);
  Notify("textDocument/publishDiagnostics",
         {{"uri", uri}, {"version", open.version}, {"diagnostics", open.published}});
}

void Server::State::HandleRequest(const Json& id, const std::string& method, const Json& params) {
  if (phase == Phase::kUninitialized && method != "initialize")
    return Fail(id, kServerNotInitialized, "the server is not initialized");
  if (phase == Phase::kShutDown) return Fail(id, kInvalidRequest, "the server was shut down");
  if (method == "initialize") {
    if (phase != Phase::kUninitialized) return Fail(id, kInvalidRequest, "already initialized");
    return Initialize(id, params);
  }
  if (method == "shutdown") {
    phase = Phase::kShutDown;
    return Respond(id, nullptr);
  }
  if (method == "textDocument/codeAction") return CodeAction(id, params);
  if (method == "workspace/executeCommand") return ExecuteCommand(id, params);
  Fail(id, kMethodNotFound, "unknown method " + method);
}

void Server::State::HandleNotification(const std::string& method, const Json& params) {
  if (method == "exit") {
    exitCode = phase == Phase::kShutDown ? 0 : 1;
    stop = true;
    return;
  }
  if (phase != Phase::kRunning) return;
  if (method == "textDocument/didOpen") {
    DidOpen(params);
  } else if (method == "textDocument/didChange") {
    DidChange(params);
  } else if (method == "textDocument/didClose") {
    DidClose(params);
  }
  // "initialized", "$/cancelRequest" (every request is answered before the
  // next is read) and anything else: nothing to do.
}

void Server::State::HandleResponse(const Json& message) {
  const auto id = IntegerMember(message, "id");
  if (!id) return;
  const auto it = pending.find(*id);
  if (it == pending.end()) return;
  Pending request = std::move(it->second);
  pending.erase(it);
  if (request.method != "workspace/applyEdit") return;
  const Json* result = Member(message, "result");
  if (result == nullptr || !BoolAt(*result, {"applied"})) return;
  if (showDocument && request.caret) {
    Request("window/showDocument",
            {{"uri", request.uri},
             {"takeFocus", true},
             {"selection", {{"start", *request.caret}, {"end", *request.caret}}}},
            {"window/showDocument", request.uri, std::nullopt});
  }
}

Server::Server(const LspOptions& options, Sender send) : state_(std::make_unique<State>()) {
  state_->send = std::move(send);
  state_->provider = options.provider;
  if (state_->provider == nullptr) {
    state_->ownProvider = MakeCommentActions(options.settingsPath, *options.platform);
    state_->provider = state_->ownProvider.get();
  }
  State* state = state_.get();
  state_->checks = std::make_unique<CheckScheduler>(
      options.checkDelay, [state](const std::string& uri) { state->CheckDocument(uri); });
}

Server::~Server() = default;

int Server::ExitCode() const {
  return state_->exitCode;
}

void Server::ReportFramingError(std::string_view why) {
  state_->Fail(nullptr, kParseError, why);
}

bool Server::Handle(std::string_view body) {
  State& s = *state_;
  const Json message = Json::parse(body, nullptr, false);
  if (message.is_discarded()) {
    s.Fail(nullptr, kParseError, "the message is not JSON");
    return !s.stop;
  }
  const Json* id = Member(message, "id");
  const bool validId = id != nullptr && (id->is_string() || id->is_number_integer());
  const Json replyId = validId ? *id : Json(nullptr);
  const Json* method = Member(message, "method");
  if (!message.is_object() || (id != nullptr && !validId && !id->is_null()) ||
      (method != nullptr && !method->is_string())) {
    s.Fail(replyId, kInvalidRequest, "not a JSON-RPC request, notification or response");
    return !s.stop;
  }
  const Json empty = Json::object();
  const Json* params = Member(message, "params");
  if (params == nullptr) params = &empty;
  try {
    if (method == nullptr) {
      if (Member(message, "result") != nullptr || Member(message, "error") != nullptr) {
        s.HandleResponse(message);
      } else {
        s.Fail(replyId, kInvalidRequest, "a message needs a method");
      }
    } else if (id != nullptr) {
      s.HandleRequest(replyId, method->get<std::string>(), *params);
    } else {
      s.HandleNotification(method->get<std::string>(), *params);
    }
  } catch (const std::exception& e) {
    // A request gets the failure as its answer; anything else has no answer
    // to carry it, so the client's log does.
    if (method != nullptr && id != nullptr) {
      s.Fail(replyId, kInternalError, e.what());
    } else {
      s.Notify("window/logMessage",
               {{"type", kMessageError}, {"message", std::string("quillmark: ") + e.what()}});
    }
  }
  return !s.stop;
}

}  // namespace quillmark::lsp
