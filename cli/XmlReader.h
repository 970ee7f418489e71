// A small pull reader for XML documents, enough for SVG files: elements,
// attributes with entity and character references, comments, processing
// instructions, CDATA sections and a document type declaration (skipped,
// internal subset included). Text content is skipped; namespaces are not
// resolved (names keep their prefixes).
#pragma once
#include <string>
#include <vector>

enum XmlEventKind {
  XmlStartElement,  // an element opens; its attributes are in the event
  XmlEndElement,    // an element closes (also reported for <empty/> elements)
  XmlEndOfDocument  // the root element has closed and only trailing matter followed
};

struct XmlAttribute {
  std::string name;
  std::string value;  // references (&amp; &#38; &#x26; ...) already replaced, as UTF-8
};

struct XmlEvent {
  XmlEventKind kind = XmlEndOfDocument;
  std::string name;
  std::vector<XmlAttribute> attributes;  // start events only, in document order
  int line = 0;                          // 1-based line where the tag starts
};

class XmlReader {
 public:
  // `text` must outlive the reader.
  explicit XmlReader(const std::string& text);

  // Reads the next event. Returns 0 with a message ("line N: ...") for
  // malformed input, which ends the reading; returns 1 otherwise.
  bool Next(XmlEvent* event, std::string* error);

  // The value of attribute `name` of a start event, or null.
  static const std::string* Find(const XmlEvent& event, const char* name);

 private:
  bool Fail(std::string* error, int line, const std::string& message);
  bool SkipPast(const char* terminator, const char* what, std::string* error);
  bool SkipDoctype(std::string* error);
  bool ReadName(std::string* name);
  bool ReadAttributeValue(std::string* value, std::string* error);
  bool ReadStartTag(XmlEvent* event, std::string* error);
  bool ReadEndTag(XmlEvent* event, std::string* error);
  void Advance(size_t count);
  void SkipSpace();
  bool AtEnd() const { return pos_ >= text_.size(); }
  bool LookingAt(const char* literal) const;

  const std::string& text_;
  size_t pos_ = 0;
  int line_ = 1;
  struct Open {
    std::string name;
    int line;
  };
  std::vector<Open> open_;  // elements opened and not yet closed
  bool rootSeen_ = false;
  bool pendingEnd_ = false;  // an <empty/> element still owes its end event
  bool finished_ = false;
};
