#include "tests/fake_platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/http.h"
#include "platform/launch.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace {

std::string g_journal;
std::vector<bool> g_answers;
size_t g_next_answer = 0;

// Journal lines are tab-separated; tabs, line feeds and backslashes inside
// a field are escaped.
std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

std::string unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char c = text[++i];
      out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    } else {
      out += text[i];
    }
  }
  return out;
}

void record(const std::string& kind, const std::vector<std::string>& fields) {
  std::ofstream journal(g_journal, std::ios::app);
  journal << kind;
  for (const std::string& field : fields) journal << '\t' << escape(field);
  journal << '\n';
}

const char* kind_name(MessageBoxKind kind) {
  switch (kind) {
    case kMessageBoxOk:
      return "ok";
    case kMessageBoxYesNo:
      return "yes_no";
    case kMessageBoxInformation:
      return "information";
  }
  return "?";
}

}  // namespace

void fake_platform_reset(const std::string& path) {
  g_journal = path;
  std::ofstream truncate(path, std::ios::trunc);
  g_answers.clear();
  g_next_answer = 0;
}

void fake_platform_answer(const std::vector<bool>& answers) {
  g_answers = answers;
  g_next_answer = 0;
}

std::vector<FakeEvent> fake_platform_events(const std::string& path) {
  std::vector<FakeEvent> events;
  std::ifstream journal(path);
  if (!journal) {
    ADD_FAILURE() << "cannot read journal " << path << ": " << std::strerror(errno);
    return events;
  }
  std::string line;
  while (std::getline(journal, line)) {
    std::istringstream fields(line);
    FakeEvent event;
    std::getline(fields, event.kind, '\t');
    std::string field;
    while (std::getline(fields, field, '\t')) event.fields.push_back(unescape(field));
    events.push_back(event);
  }
  return events;
}

bool message_box(const std::string& title, const std::string& text, MessageBoxKind kind) {
  record("box", {title, text, kind_name(kind)});
  if (kind != kMessageBoxYesNo) return false;
  return g_next_answer < g_answers.size() && g_answers[g_next_answer++];
}

bool launch_program(const std::string& program, const std::string& arguments,
                    const std::string& working_directory, unsigned options) {
  record("launch", {program, arguments, working_directory, std::to_string(options)});
  return true;
}

// The socket layer is real: flows reach real servers on 127.0.0.1.
void start_platform_services() {
  http_start();
  record("start", {});
}

void release_platform_services() {
  record("release", {});
  http_release();
}
