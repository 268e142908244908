#include "utility/Markup.h"

#include "utility/MarkupStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <pugixml.hpp>

namespace {

using pugi::xml_node;

// Texts are bytes: no end-of-line or attribute whitespace conversion, and a text that is only
// whitespace is kept when it is an element's whole content.
constexpr unsigned kParseOptions =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_comments | pugi::parse_ws_pcdata_single;
constexpr unsigned kFormatOptions = pugi::format_indent | pugi::format_no_declaration;
constexpr const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n";

bool IsText(const xml_node& n) {
    return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata;
}

bool Matches(const xml_node& n, const char* tag) {
    return n.type() == pugi::node_element && (!tag || !*tag || std::strcmp(n.name(), tag) == 0);
}

bool HasElementChild(const xml_node& n) {
    for (xml_node c = n.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element) return true;
    return false;
}

// All text of an element that holds no elements; empty otherwise.
std::string TextOf(const xml_node& n) {
    if (!n) return {};
    xml_node first = n.first_child();
    if (first && IsText(first) && !first.next_sibling()) return first.value();
    std::string text;
    for (xml_node c = first; c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element) return {};
        if (IsText(c)) text += c.value();
    }
    return text;
}

bool ReplaceText(xml_node n, const char* data, int cdata) {
    if (!n || HasElementChild(n)) return false;
    while (n.first_child()) n.remove_child(n.first_child());
    if (data && *data)
        return n.append_child(cdata ? pugi::node_cdata : pugi::node_pcdata).set_value(data);
    return true;
}

bool FindNext(xml_node from, const char* tag, xml_node& found) {
    for (xml_node n = from; n; n = n.next_sibling())
        if (Matches(n, tag)) {
            found = n;
            return true;
        }
    return false;
}

// A UTF-16 or UTF-32 file is converted; everything else is taken byte for byte.
pugi::xml_encoding EncodingOf(const char* text, size_t length) {
    const auto* b = reinterpret_cast<const unsigned char*>(text);
    if (length >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)))
        return pugi::encoding_auto;
    if (length >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF)
        return pugi::encoding_auto;
    return pugi::encoding_utf8;
}

std::string SystemError(const std::string& what, const char* path) {
    return what + " \"" + path + "\": " + std::strerror(errno);
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

}  // namespace

CMarkup::CMarkup() : m_doc(std::make_unique<pugi::xml_document>()) {}

CMarkup::CMarkup(const char* doc) : CMarkup() { SetDoc(doc); }

CMarkup::CMarkup(const CMarkup& other) : CMarkup() { m_doc->reset(*other.m_doc); }

CMarkup& CMarkup::operator=(const CMarkup& other) {
    if (this != &other) {
        m_doc->reset(*other.m_doc);
        ResetPos();
        m_error = other.m_error;
    }
    return *this;
}

CMarkup::~CMarkup() = default;

void CMarkup::Clear() {
    m_doc->reset();
    ResetPos();
}

bool CMarkup::Parse(const char* text, size_t length, void* owned) {
    Clear();
    m_error.clear();
    const pugi::xml_encoding encoding = EncodingOf(text, length);
    // An owned buffer is parsed in place and freed by the document, so a large file is held
    // once rather than twice while it loads.
    const pugi::xml_parse_result result =
        owned ? m_doc->load_buffer_inplace_own(owned, length, kParseOptions, encoding)
              : m_doc->load_buffer(text, length, kParseOptions, encoding);
    if (!result) {
        m_error = std::string(result.description()) + " at byte " + std::to_string(result.offset);
        Clear();
        return false;
    }
    int roots = 0;
    for (xml_node n = m_doc->first_child(); n; n = n.next_sibling())
        roots += n.type() == pugi::node_element;
    if (roots != 1) {
        m_error = roots ? "More than one root element" : "No root element";
        Clear();
        return false;
    }
    return true;
}

bool CMarkup::SetDoc(const char* doc) {
    if (!doc || !*doc) {
        Clear();
        m_error.clear();
        return true;
    }
    return Parse(doc, std::strlen(doc), nullptr);
}

std::string CMarkup::GetDoc() const {
    StringWriter writer;
    writer.text = kDeclaration;
    m_doc->save(writer, "\t", kFormatOptions, pugi::encoding_utf8);
    return std::move(writer.text);
}

bool CMarkup::Load(const char* path) {
    Clear();
    m_error.clear();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_error = SystemError("Cannot open", path);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = std::string("Not a readable file \"") + path + "\"";
        ::close(fd);
        return false;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    char* buffer =
        size ? static_cast<char*>(pugi::get_memory_allocation_function()(size)) : nullptr;
    if (size && !buffer) {
        m_error = std::string("Not enough memory to load \"") + path + "\"";
        ::close(fd);
        return false;
    }
    size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got == 0) {
        if (buffer) pugi::get_memory_deallocation_function()(buffer);
        m_error = std::string("The file \"") + path + "\" is empty";
        return false;
    }
    return Parse(buffer, got, buffer);
}

bool CMarkup::StartStream(const char* path, bool ownerOnly) {
    Clear();
    m_error.clear();
    m_stream.reset();
    if (!path) return false;
    auto stream = std::make_unique<CMarkupStream>();
    if (!stream->Open(path, ownerOnly, kDeclaration, m_error)) return false;
    m_stream = std::move(stream);
    return true;
}

bool CMarkup::EndStream() {
    if (!m_stream) return false;
    m_stream->FlushChildren(*m_doc);
    const bool ok = m_stream->Close(m_error);
    m_stream.reset();
    Clear();
    return ok;
}

bool CMarkup::WriteRawContent(const char* text, size_t size) {
    if (!m_stream || !m_main) return false;
    // The children written out leave the document, the child position with them.
    m_stream->WriteInside(xml_node(m_main), text ? text : "", text ? size : 0);
    m_child = nullptr;
    return true;
}

int CMarkup::GetMainDepth() const {
    int depth = 0;
    if (!m_main) return 0;
    for (xml_node p = xml_node(m_main).parent(); p && p.type() == pugi::node_element;
         p = p.parent())
        ++depth;
    return depth;
}

bool CMarkup::IsWritten(Node node) const { return m_stream && m_stream->IsStarted(xml_node(node)); }

bool CMarkup::Save(const char* path, bool ownerOnly) const {
    m_error.clear();
    if (m_stream) {
        m_error = "A streamed document is saved by EndStream";
        return false;
    }
    if (!path) return false;
    CMarkupStream file;
    if (!file.Open(path, ownerOnly, kDeclaration, m_error)) return false;
    file.WriteDocument(*m_doc);
    return file.Close(m_error);
}

bool CMarkup::FindElem(const char* tag) {
    const xml_node parent = m_parent ? xml_node(m_parent) : xml_node(*m_doc);
    const xml_node from = m_main ? xml_node(m_main).next_sibling() : parent.first_child();
    xml_node found;
    if (!FindNext(from, tag, found)) return false;
    m_main = found.internal_object();
    m_child = nullptr;
    return true;
}

bool CMarkup::FindChildElem(const char* tag) {
    if (!m_main && !FindElem()) return false;
    const xml_node main(m_main);
    const xml_node from = m_child ? xml_node(m_child).next_sibling() : main.first_child();
    xml_node found;
    if (!FindNext(from, tag, found)) return false;
    m_child = found.internal_object();
    return true;
}

bool CMarkup::IntoElem() {
    if (!m_main) return false;
    m_parent = m_main;
    m_main = m_child;
    m_child = nullptr;
    return true;
}

bool CMarkup::OutOfElem() {
    if (!m_parent) return false;
    const xml_node grand = xml_node(m_parent).parent();
    m_child = m_main;
    m_main = m_parent;
    m_parent = grand.type() == pugi::node_element ? grand.internal_object() : nullptr;
    return true;
}

void CMarkup::ResetPos() { m_parent = m_main = m_child = nullptr; }

void CMarkup::ResetMainPos() { m_main = m_child = nullptr; }

void CMarkup::ResetChildPos() { m_child = nullptr; }

std::string CMarkup::GetTagName() const { return m_main ? xml_node(m_main).name() : ""; }

std::string CMarkup::GetChildTagName() const { return m_child ? xml_node(m_child).name() : ""; }

std::string CMarkup::GetAttribName(int index) const {
    if (!m_main || index < 0) return {};
    for (pugi::xml_attribute a = xml_node(m_main).first_attribute(); a; a = a.next_attribute())
        if (index-- == 0) return a.name();
    return {};
}

std::string CMarkup::GetData() const { return m_main ? TextOf(xml_node(m_main)) : ""; }

std::string CMarkup::GetChildData() const { return m_child ? TextOf(xml_node(m_child)) : ""; }

std::string CMarkup::GetAttrib(const char* name) const {
    return m_main && name ? xml_node(m_main).attribute(name).value() : "";
}

std::string CMarkup::GetChildAttrib(const char* name) const {
    return m_child && name ? xml_node(m_child).attribute(name).value() : "";
}

bool CMarkup::PlaceElem(const char* tag, const char* data, bool child, bool after) {
    if (!tag || !*tag) return false;
    xml_node parent, anchor;
    if (child) {
        if (!m_main) return false;
        parent = xml_node(m_main);
        anchor = xml_node(m_child);
    } else {
        parent = m_parent ? xml_node(m_parent) : xml_node(*m_doc);
        anchor = xml_node(m_main);
        // A document has one root element.
        if (!m_parent && m_doc->document_element()) return false;
    }
    if (m_stream) {
        // Appending only: whatever stands at this place so far is final and goes to the file.
        if (!after) return false;
        m_stream->FlushChildren(parent);
        anchor = xml_node();
    }
    xml_node added;
    if (after)
        added = anchor ? parent.insert_child_after(pugi::node_element, anchor)
                       : parent.append_child(pugi::node_element);
    else
        added = anchor ? parent.insert_child_before(pugi::node_element, anchor)
                       : parent.prepend_child(pugi::node_element);
    if (!added || !added.set_name(tag)) return false;
    if (data && *data) added.append_child(pugi::node_pcdata).set_value(data);
    if (child) {
        m_child = added.internal_object();
    } else {
        m_main = added.internal_object();
        m_child = nullptr;
    }
    return true;
}

bool CMarkup::AddElem(const char* tag, const char* data) {
    return PlaceElem(tag, data, false, true);
}

bool CMarkup::AddElem(const char* tag, int data) {
    return AddElem(tag, std::to_string(data).c_str());
}

bool CMarkup::InsertElem(const char* tag, const char* data) {
    return PlaceElem(tag, data, false, false);
}

bool CMarkup::AddChildElem(const char* tag, const char* data) {
    return PlaceElem(tag, data, true, true);
}

bool CMarkup::AddChildElem(const char* tag, int data) {
    return AddChildElem(tag, std::to_string(data).c_str());
}

bool CMarkup::InsertChildElem(const char* tag, const char* data) {
    return PlaceElem(tag, data, true, false);
}

namespace {

bool SetAttribOn(pugi::xml_node_struct* node, const char* name, const char* value) {
    if (!node || !name || !*name) return false;
    xml_node n(node);
    pugi::xml_attribute a = n.attribute(name);
    if (!a) a = n.append_attribute(name);
    return a.set_value(value ? value : "");
}

}  // namespace

bool CMarkup::SetAttrib(const char* name, const char* value) {
    return !IsWritten(m_main) && SetAttribOn(m_main, name, value);
}

bool CMarkup::SetAttrib(const char* name, int value) {
    return SetAttrib(name, std::to_string(value).c_str());
}

bool CMarkup::SetChildAttrib(const char* name, const char* value) {
    return !IsWritten(m_child) && SetAttribOn(m_child, name, value);
}

bool CMarkup::SetChildAttrib(const char* name, int value) {
    return SetChildAttrib(name, std::to_string(value).c_str());
}

bool CMarkup::RemoveAttrib(const char* name) {
    return m_main && name && !IsWritten(m_main) && xml_node(m_main).remove_attribute(name);
}

bool CMarkup::SetData(const char* data, int cdata) {
    return !IsWritten(m_main) && ReplaceText(xml_node(m_main), data, cdata);
}

bool CMarkup::SetChildData(const char* data, int cdata) {
    return !IsWritten(m_child) && ReplaceText(xml_node(m_child), data, cdata);
}

bool CMarkup::AddSubDoc(const char* subdoc) {
    if (!subdoc || m_stream) return false;
    pugi::xml_document sub;
    const size_t length = std::strlen(subdoc);
    if (!sub.load_buffer(subdoc, length, kParseOptions, EncodingOf(subdoc, length))) return false;
    const xml_node root = sub.document_element();
    if (!root) return false;
    xml_node parent = m_parent ? xml_node(m_parent) : xml_node(*m_doc);
    if (!m_parent && m_doc->document_element()) return false;
    const xml_node added =
        m_main ? parent.insert_copy_after(root, xml_node(m_main)) : parent.append_copy(root);
    if (!added) return false;
    m_main = added.internal_object();
    m_child = nullptr;
    return true;
}

std::string CMarkup::GetSubDoc() const {
    if (!m_main) return {};
    StringWriter writer;
    xml_node(m_main).print(writer, "\t", kFormatOptions, pugi::encoding_utf8);
    return std::move(writer.text);
}

bool CMarkup::AddNode(int nodeType, const char* text) {
    if (nodeType == MNT_ELEMENT) return AddElem(text);
    if (m_stream) return false;
    pugi::xml_node_type type;
    switch (nodeType) {
        case MNT_TEXT:
            type = pugi::node_pcdata;
            break;
        case MNT_CDATA_SECTION:
            type = pugi::node_cdata;
            break;
        case MNT_COMMENT:
            type = pugi::node_comment;
            break;
        case MNT_DOCUMENT_TYPE:
            type = pugi::node_doctype;
            break;
        case MNT_PROCESSING_INSTRUCTION:
            type = pugi::node_pi;
            break;
        default:
            return false;
    }
    const std::string value = text ? text : "";
    std::string piName;
    std::string piValue;
    if (type == pugi::node_pi) {
        const size_t space = value.find_first_of(" \t\r\n");
        piName = value.substr(0, space);
        const size_t rest = value.find_first_not_of(" \t\r\n", space);
        if (space != std::string::npos && rest != std::string::npos) piValue = value.substr(rest);
        // Every saved document starts with our own declaration.
        if (piName == "xml") return true;
        if (piName.empty()) return false;
    }
    xml_node parent = m_parent ? xml_node(m_parent) : xml_node(*m_doc);
    xml_node added =
        m_main ? parent.insert_child_after(type, xml_node(m_main)) : parent.append_child(type);
    if (!added) return false;
    if (type == pugi::node_pi)
        return added.set_name(piName.c_str()) && added.set_value(piValue.c_str());
    return added.set_value(value.c_str());
}
