#include "HtmlDoc.h"

#include <QXmlStreamReader>
#include <sstream>

bool HtmlElement::hasClass(const std::string& cls) const {
    const auto it = attrs.find("class");
    if (it == attrs.end()) return false;
    std::istringstream words(it->second);
    std::string word;
    while (words >> word)
        if (word == cls) return true;
    return false;
}

HtmlDoc::HtmlDoc(const std::string& html) {
    elements_.push_back({"#document", {}, {}, {}, -1});
    QXmlStreamReader reader(QByteArray::fromStdString(html));
    int current = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            HtmlElement e;
            e.tag = reader.name().toString().toStdString();
            for (const QXmlStreamAttribute& a : reader.attributes())
                e.attrs[a.name().toString().toStdString()] = a.value().toString().toStdString();
            e.parent = current;
            elements_.push_back(std::move(e));
            const int index = static_cast<int>(elements_.size()) - 1;
            elements_[static_cast<std::size_t>(current)].children.push_back(index);
            current = index;
        } else if (reader.isEndElement()) {
            current = elements_[static_cast<std::size_t>(current)].parent;
        } else if (reader.isCharacters()) {
            const std::string text = reader.text().toString().toStdString();
            for (int i = current; i >= 0; i = elements_[static_cast<std::size_t>(i)].parent)
                elements_[static_cast<std::size_t>(i)].text += text;
        }
    }
    if (reader.hasError()) error_ = reader.errorString().toStdString();
}

int HtmlDoc::byId(const std::string& id) const {
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        const auto it = elements_[i].attrs.find("id");
        if (it != elements_[i].attrs.end() && it->second == id) return static_cast<int>(i);
    }
    return -1;
}

std::vector<int> HtmlDoc::find(int root, const std::string& tag, const std::string& cls) const {
    std::vector<int> found;
    std::vector<int> stack(at(root).children.rbegin(), at(root).children.rend());
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        const HtmlElement& e = at(i);
        if (e.tag == tag && (cls.empty() || e.hasClass(cls))) found.push_back(i);
        stack.insert(stack.end(), e.children.rbegin(), e.children.rend());
    }
    return found;
}

std::vector<std::string> HtmlDoc::ids() const {
    std::vector<std::string> out;
    for (const HtmlElement& e : elements_)
        if (const auto it = e.attrs.find("id"); it != e.attrs.end()) out.push_back(it->second);
    return out;
}
