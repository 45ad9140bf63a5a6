#pragma once

#include "quillon/word/Document.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace qln::word {

// The word processor as the reports drive it: documents from templates, and showing a
// saved document to the user.
class Application {
public:
    // A new document based on the template.
    Document& addDocument(const std::filesystem::path& templatePath);
    // The document added last; nullptr before the first.
    Document* activeDocument() const { return m_documents.empty() ? nullptr : m_documents.back().get(); }
    // Opens the saved document with the desktop's default application. False when it was
    // not opened: the environment sets QUILLON_NO_OPEN (tests, batch runs), or nothing could
    // open it.
    bool show(const std::filesystem::path& saved) const;

private:
    std::vector<std::unique_ptr<Document>> m_documents;
};

} // namespace qln::word
