#include "usborva/scenario.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace usborva::scenario {
namespace {

std::string Where(const std::string& source, int line, int column) {
  if (line <= 0) return source;
  return source + ":" + std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace

ScenarioError::ScenarioError(std::string source, int line, int column, std::string message)
    : std::runtime_error(Where(source, line, column) + ": " + message),
      source_(std::move(source)),
      line_(line),
      column_(column),
      message_(std::move(message)) {}

Milliseconds Scenario::Length() const {
  Milliseconds length{0};
  for (const Step& step : steps) length += step.wait;
  return length;
}

Scenario LoadScenario(const std::string& path) {
  std::string text;
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return ParseScenario(text, "<stdin>");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError(path, 0, 0, std::string("cannot open: ") + std::strerror(errno));
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) throw ScenarioError(path, 0, 0, "cannot read the file");
  return ParseScenario(buffer.str(), path);
}

}  // namespace usborva::scenario
