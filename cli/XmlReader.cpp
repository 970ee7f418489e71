#include "cli/XmlReader.h"

#include <cstdint>
#include <cstring>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

void AppendUtf8(std::string* out, uint32_t code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Replaces one reference body (between '&' and ';'); returns 0 if unknown.
bool DecodeReference(const std::string& body, std::string* out) {
  static const struct {
    const char* name;
    char value;
  } named[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& entry : named) {
    if (body == entry.name) {
      out->push_back(entry.value);
      return true;
    }
  }
  if (body.size() < 2 || body[0] != '#') return false;
  const bool hex = body[1] == 'x';
  const size_t first = hex ? 2 : 1;
  if (first >= body.size()) return false;
  uint32_t code = 0;
  for (size_t i = first; i < body.size(); ++i) {
    const char c = body[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
    else if (hex && c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
    else return false;
    code = code * (hex ? 16 : 10) + digit;
    if (code > 0x10FFFF) return false;
  }
  if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) return false;
  AppendUtf8(out, code);
  return true;
}

}  // namespace

XmlReader::XmlReader(const std::string& text) : text_(text) {
  if (LookingAt("\xEF\xBB\xBF")) pos_ = 3;  // UTF-8 byte order mark
}

const std::string* XmlReader::Find(const XmlEvent& event, const char* name) {
  for (const XmlAttribute& attribute : event.attributes)
    if (attribute.name == name) return &attribute.value;
  return nullptr;
}

bool XmlReader::Fail(std::string* error, int line, const std::string& message) {
  *error = "line " + std::to_string(line) + ": " + message;
  finished_ = true;
  return false;
}

void XmlReader::Advance(size_t count) {
  for (size_t i = 0; i < count && pos_ < text_.size(); ++i, ++pos_)
    if (text_[pos_] == '\n') ++line_;
}

void XmlReader::SkipSpace() {
  while (!AtEnd() && IsSpace(text_[pos_])) Advance(1);
}

bool XmlReader::LookingAt(const char* literal) const {
  return text_.compare(pos_, std::strlen(literal), literal) == 0;
}

bool XmlReader::SkipPast(const char* terminator, const char* what, std::string* error) {
  const int startLine = line_;
  const size_t found = text_.find(terminator, pos_);
  if (found == std::string::npos)
    return Fail(error, startLine, std::string(what) + " is not closed before the end of the file");
  Advance(found + std::strlen(terminator) - pos_);
  return true;
}

bool XmlReader::SkipDoctype(std::string* error) {
  const int startLine = line_;
  int bracketDepth = 0;
  char quote = 0;
  while (!AtEnd()) {
    const char c = text_[pos_];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[') {
      ++bracketDepth;
    } else if (c == ']') {
      --bracketDepth;
    } else if (c == '>' && bracketDepth <= 0) {
      Advance(1);
      return true;
    }
    Advance(1);
  }
  return Fail(error, startLine, "the document type declaration is not closed before the end of the file");
}

bool XmlReader::ReadName(std::string* name) {
  if (AtEnd() || !IsNameStart(text_[pos_])) return false;
  const size_t start = pos_;
  while (!AtEnd() && IsNameChar(text_[pos_])) Advance(1);
  name->assign(text_, start, pos_ - start);
  return true;
}

bool XmlReader::ReadAttributeValue(std::string* value, std::string* error) {
  const char quote = text_[pos_];
  const int startLine = line_;
  Advance(1);
  value->clear();
  while (true) {
    if (AtEnd()) return Fail(error, startLine, "an attribute value is not closed before the end of the file");
    const char c = text_[pos_];
    if (c == quote) {
      Advance(1);
      return true;
    }
    if (c == '<') return Fail(error, line_, "'<' inside an attribute value");
    if (c == '&') {
      const size_t semicolon = text_.find(';', pos_);
      // References are short; a distant ';' means a bare '&'.
      if (semicolon == std::string::npos || semicolon - pos_ > 12)
        return Fail(error, line_, "'&' that does not start a reference (write &amp;)");
      const std::string body = text_.substr(pos_ + 1, semicolon - pos_ - 1);
      if (!DecodeReference(body, value))
        return Fail(error, line_, "unknown or invalid reference &" + body + ";");
      Advance(semicolon + 1 - pos_);
      continue;
    }
    // Attribute value normalisation: white space characters become spaces.
    value->push_back(IsSpace(c) ? ' ' : c);
    Advance(1);
  }
}

bool XmlReader::ReadStartTag(XmlEvent* event, std::string* error) {
  event->kind = XmlStartElement;
  event->line = line_;
  event->attributes.clear();
  Advance(1);  // '<'
  if (!ReadName(&event->name)) return Fail(error, event->line, "'<' is not followed by an element name");
  if (open_.empty() && rootSeen_)
    return Fail(error, event->line, "<" + event->name + "> follows the end of the root element");
  while (true) {
    const size_t before = pos_;
    SkipSpace();
    if (AtEnd()) return Fail(error, event->line, "<" + event->name + "> is not closed before the end of the file");
    if (LookingAt("/>")) {
      Advance(2);
      pendingEnd_ = true;
      break;
    }
    if (text_[pos_] == '>') {
      Advance(1);
      break;
    }
    if (pos_ == before) return Fail(error, line_, "<" + event->name + ">: attributes must be separated by white space");
    XmlAttribute attribute;
    if (!ReadName(&attribute.name)) return Fail(error, line_, "<" + event->name + ">: malformed attribute");
    SkipSpace();
    if (AtEnd() || text_[pos_] != '=')
      return Fail(error, line_, "<" + event->name + ">: attribute " + attribute.name + " has no value");
    Advance(1);
    SkipSpace();
    if (AtEnd() || (text_[pos_] != '"' && text_[pos_] != '\''))
      return Fail(error, line_, "<" + event->name + ">: the value of " + attribute.name + " is not quoted");
    if (!ReadAttributeValue(&attribute.value, error)) return false;
    if (Find(*event, attribute.name.c_str()) != nullptr)
      return Fail(error, line_, "<" + event->name + ">: attribute " + attribute.name + " is given twice");
    event->attributes.push_back(std::move(attribute));
  }
  rootSeen_ = true;
  open_.push_back(Open{event->name, event->line});
  return true;
}

bool XmlReader::ReadEndTag(XmlEvent* event, std::string* error) {
  event->kind = XmlEndElement;
  event->line = line_;
  event->attributes.clear();
  Advance(2);  // "</"
  if (!ReadName(&event->name)) return Fail(error, event->line, "'</' is not followed by an element name");
  SkipSpace();
  if (AtEnd() || text_[pos_] != '>') return Fail(error, event->line, "</" + event->name + " is not closed with '>'");
  Advance(1);
  if (open_.empty()) return Fail(error, event->line, "</" + event->name + "> closes an element that is not open");
  if (open_.back().name != event->name)
    return Fail(error, event->line,
                "</" + event->name + "> does not match <" + open_.back().name + "> opened at line " +
                    std::to_string(open_.back().line));
  open_.pop_back();
  return true;
}

bool XmlReader::Next(XmlEvent* event, std::string* error) {
  if (pendingEnd_) {
    pendingEnd_ = false;
    event->kind = XmlEndElement;
    event->name = open_.back().name;
    event->line = line_;
    event->attributes.clear();
    open_.pop_back();
    return true;
  }
  if (finished_) {
    event->kind = XmlEndOfDocument;
    return true;
  }
  while (true) {
    if (AtEnd()) {
      if (!open_.empty())
        return Fail(error, line_,
                    "the file ends inside <" + open_.back().name + "> opened at line " +
                        std::to_string(open_.back().line));
      if (!rootSeen_) return Fail(error, line_, "the file contains no element");
      finished_ = true;
      event->kind = XmlEndOfDocument;
      return true;
    }
    if (text_[pos_] != '<') {
      const size_t next = text_.find('<', pos_);
      Advance((next == std::string::npos ? text_.size() : next) - pos_);
      continue;
    }
    if (LookingAt("<!--")) {
      if (!SkipPast("-->", "a comment", error)) return false;
    } else if (LookingAt("<![CDATA[")) {
      if (!SkipPast("]]>", "a CDATA section", error)) return false;
    } else if (LookingAt("<?")) {
      if (!SkipPast("?>", "a processing instruction", error)) return false;
    } else if (LookingAt("<!DOCTYPE")) {
      if (!SkipDoctype(error)) return false;
    } else if (LookingAt("</")) {
      return ReadEndTag(event, error);
    } else {
      return ReadStartTag(event, error);
    }
  }
}
