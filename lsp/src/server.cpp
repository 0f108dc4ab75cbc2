// The protocol: lifecycle, text synchronisation, code actions and the
// commands behind them, and the requests the server sends to the client.
#include <exception>
#include <map>
#include <nlohmann/json.hpp>
#include <unordered_map>

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
constexpr char kRunCommand[] = "quillmark.run";
constexpr char kActionKind[] = "refactor.rewrite";

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
  bool stop = false;
  int exitCode = 1;
  long long nextId = 1;
  std::unordered_map<std::string, OpenDocument> documents;
  std::map<long long, Pending> pending;

  bool Send(const Json& message) {
    if (!send(Dump(message))) stop = true;
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

  void HandleRequest(const Json& id, const std::string& method, const Json& params);
  void HandleNotification(const std::string& method, const Json& params);
  void HandleResponse(const Json& message);
  void Initialize(const Json& id, const Json& params);
  void CodeAction(const Json& id, const Json& params);
  void ExecuteCommand(const Json& id, const Json& params);
  void DidChange(const Json& params);
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
                 {"codeActionProvider", {{"codeActionKinds", {kActionKind}}}},
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
  if (const Json* only = At(params, {"context", "only"}); only != nullptr && only->is_array()) {
    bool wanted = false;
    for (const Json& kind : *only) {
      if (!kind.is_string()) continue;
      const std::string k = kind.get<std::string>();
      const std::string ours = kActionKind;
      wanted |= k.empty() || ours == k || ours.starts_with(k + ".");
    }
    if (!wanted) return Respond(id, Json::array());
  }

  Json actions = Json::array();
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

  ActionResult result = provider->Run({*uri, document}, *selection, *action);
  if (!result.message.empty())
    Notify("window/showMessage", {{"type", kMessageWarning}, {"message", result.message}});
  if (result.edits.empty()) return Respond(id, nullptr);
  if (!applyEdit) return Fail(id, kRequestFailed, "the client cannot apply workspace edits");

  Json edits = Json::array();
  for (ByteEdit& edit : result.edits) {
    edit.range = {document.Clamp(edit.range.start), document.Clamp(edit.range.end)};
    edits.push_back({{"range", RangeToProtocol(document, edit.range)}, {"newText", edit.newText}});
  }
  Json workspaceEdit;
  if (documentChanges) {
    workspaceEdit["documentChanges"] = {
        {{"textDocument", {{"uri", *uri}, {"version", it->second.version}}}, {"edits", edits}}};
  } else {
    workspaceEdit["changes"] = {{*uri, edits}};
  }
  Pending request{"workspace/applyEdit", *uri, std::nullopt};
  if (result.caret) {
    const std::string line = LineAfterEdits(document, result.edits, result.caret->line);
    request.caret = ToProtocol(line, *result.caret);
  }
  Request("workspace/applyEdit", {{"label", "Quillmark"}, {"edit", std::move(workspaceEdit)}},
          std::move(request));
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
    const Json* item = Member(params, "textDocument");
    if (item == nullptr) return;
    const auto uri = StringMember(*item, "uri");
    const auto text = StringMember(*item, "text");
    if (!uri || !text) return;
    documents[*uri] = {Document(*text), IntegerMember(*item, "version").value_or(0)};
  } else if (method == "textDocument/didChange") {
    DidChange(params);
  } else if (method == "textDocument/didClose") {
    if (auto uri = DocumentUri(params)) documents.erase(*uri);
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
