#pragma once

// A whole viewer installation in a temporary folder: the components registered in a fresh
// registry, the settings written, the rules and results databases and legends copied from
// the build's data, its data sources defined, and every message box recorded.

#include "../support/LoadedLibrary.h"
#include "../support/SqliteFile.h"
#include "../support/TempFolder.h"
#include "ReporterDisplay.h"
#include "quillon/viewer/Session.h"
#include "frmQuillon.h"
#include "quillon/ado/DataSources.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/registry/Registry.h"
#include "quillon/viewer/Settings.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <fstream>
#include <memory>

namespace qln::test {

class ViewerInstall {
public:
    ViewerInstall()
    {
        namespace fs = std::filesystem;
        const fs::path runtime = folder / "runtime";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

        for (const char* library : {AMBMESSAGES_LIBRARY, AMBCATEGORIES_LIBRARY, MSGREPORTER_LIBRARY, GENUTIL_LIBRARY,
                                    QLN2000_LIBRARY}) {
            if (LoadedLibrary(library).call("DllRegisterServer") != 0)
                throw std::runtime_error(std::string("cannot register ") + library);
        }

        const fs::path share = QUILLON_BUILD_SHARE;
        install = folder / "install";
        fs::create_directories(install / "results");
        fs::create_directories(install / "legends");
        fs::create_directories(folder / "soils");
        fs::create_directories(folder / "help");
        fs::copy_file(share / "quillon-results.sqlite", install / "results" / "pristine.sqlite");
        fs::copy_file(share / "quillon-results.sqlite", install / "results" / "results.sqlite");
        fs::copy_file(share / "quillon-rules.sqlite", install / "rules.sqlite");
        for (const auto& legend : fs::directory_iterator(share / "legends"))
            fs::copy_file(legend.path(), install / "legends" / legend.path().filename());
        fs::copy_file(share / "sample" / "sample.sqlite", folder / "soils" / "sample.mdb");
        std::ofstream(folder / "help" / "index.html")
            << "<html><head><title>Quillon Help</title><meta name=\"keywords\" content=\"start, soils\"></head>"
               "<body><a href=\"tree.html\">The attribute tree</a></body></html>";
        std::ofstream(folder / "help" / "tree.html")
            << "<html><head><title>The attribute tree</title></head><body>Folders and attributes.</body></html>";

        ado::defineDataSource("QuillonDSN2000", install / "rules.sqlite");
        ado::defineDataSource("QuillonResults", install / "results" / "results.sqlite");
        const std::string root = folder.path().string();
        set("InstalledDrive", root);
        set("SoilsPath", "/install");
        set("ArcviewLegendPath", "/legends");
        set("SoilsDataPath", root + "/soils");
        set("SoilsDataFile", "sample.mdb");
        set("QuillonDBDSN", "QuillonDSN2000");
        set("OutputDBPath", "/results");
        set("OutputDBFile", "results.sqlite");
        set("OutputDBDSN", "QuillonResults");
        set("OutputDBOrig", "pristine.sqlite");
        set("VBHelpPath", root + "/help/");
        set("VBHelpFile", "index.html");
    }

    void set(const std::string& name, const std::string& value)
    {
        registry::Store::fromEnvironment().setString(registry::Hive::LocalMachine, viewer::kSettingsKey, name, value);
    }
    void setAt(const std::string& key, const std::string& name, const std::string& value)
    {
        registry::Store::fromEnvironment().setString(registry::Hive::LocalMachine, key, name, value);
    }
    void remove(const std::string& name)
    {
        registry::Store::fromEnvironment().deleteValue(registry::Hive::LocalMachine, viewer::kSettingsKey, name);
    }
    void rulesSql(const std::string& sql) { runSql(install / "rules.sqlite", sql); }

    // The texts of the boxes shown so far.
    QStringList boxes() const
    {
        QStringList texts;
        for (const auto& box : seam.shown()) texts << QString::fromStdString(box.text);
        return texts;
    }

    TempFolder folder;
    std::filesystem::path install;
    desktop::MessageBoxSeam seam;
};

// What every window test keeps: an installation, the viewer's session made on it with the
// reporter's display handler set, and the window once a test opens it. init() calls
// setUpViewer() and cleanup() tearDownViewer(), which frees them in the order they need.
class ViewerTest : public QObject {
protected:
    void setUpViewer()
    {
        m_install = std::make_unique<ViewerInstall>();
        reporter::setDisplayHandler(std::make_shared<viewer::ReporterDisplay>());
        m_session = std::make_unique<viewer::Session>();
    }
    void tearDownViewer()
    {
        m_form.reset();
        m_session.reset();
        reporter::setDisplayHandler(nullptr);
        m_install.reset();
    }

    std::unique_ptr<ViewerInstall> m_install;
    std::unique_ptr<viewer::Session> m_session;
    std::unique_ptr<viewer::frmQuillon> m_form;
};

} // namespace qln::test
