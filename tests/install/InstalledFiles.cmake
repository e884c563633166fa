# What an installation of Quarlow holds, relative to its prefix.
set(installed_files
    bin/quarlow
    bin/quarlow-cli
    share/applications/quarlow.desktop
    share/icons/hicolor/scalable/apps/quarlow.svg
    share/doc/quarlow/guide.html)
