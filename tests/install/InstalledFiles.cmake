# What an installation of Quarlow holds, relative to its prefix.
set(installed_files
    bin/quarlow
    bin/quarlow-cli
    share/applications/quarlow.desktop
    share/icons/hicolor/scalable/apps/quarlow.svg
    share/doc/quarlow/guide.html
    share/doc/quarlow/copyright
    share/man/man1/quarlow.1.gz
    share/man/man1/quarlow-cli.1.gz
    share/bash-completion/completions/quarlow-cli
    share/metainfo/org.example.quarlow.metainfo.xml)
