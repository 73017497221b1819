// A report's HTML read back as an element tree, for tests that check its structure. The
// report is written so that an XML reader takes it; a page that breaks that is a defect.
#pragma once

#include <map>
#include <string>
#include <vector>

struct HtmlElement {
    std::string tag;
    std::map<std::string, std::string> attrs;
    std::string text;  // all text inside, descendants included (UTF-8)
    std::vector<int> children;
    int parent = -1;

    bool hasClass(const std::string& cls) const;
};

class HtmlDoc {
  public:
    // Parses html; error() says what went wrong when it is not well formed.
    explicit HtmlDoc(const std::string& html);
    const std::string& error() const { return error_; }

    const HtmlElement& at(int index) const { return elements_.at(static_cast<std::size_t>(index)); }
    // The element with that id, or -1.
    int byId(const std::string& id) const;
    // Every element under root (root itself excluded) with that tag (and class, if given).
    std::vector<int> find(int root, const std::string& tag, const std::string& cls = {}) const;
    // All ids in the document (to check that links have their targets).
    std::vector<std::string> ids() const;
    int root() const { return 0; }

  private:
    std::vector<HtmlElement> elements_;
    std::string error_;
};
