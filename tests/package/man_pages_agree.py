#!/usr/bin/env python3
"""The manual pages name exactly the options that --help names.

usage: man_pages_agree.py SOURCE_DIR MOMIRU_LAB [MOMIRU_BATTLE]

The options a text documents are those of its option list: in --help the indented lines that
begin with an option, in a page the tags of .TP paragraphs. Options only mentioned in prose (an
example command of another tool) do not count. For momiru-lab, each command's section
(.SS COMMAND) of the English and the Japanese page lists the same long options as
'momiru-lab COMMAND --help', and the pages have a section for every command the tool lists and
none more. For momiru-battle, the whole page lists the same long options as
'momiru-battle --help'. --help itself, which every command takes, is left out.
"""
import re
import subprocess
import sys
from pathlib import Path

HELP_ENTRY = re.compile(r"^ {2,}(?:-h, )?(--[a-z][a-z0-9-]*)", re.M)
PAGE_ENTRY = re.compile(r"^\.TP\n[^\n]*?(--[a-z][a-z0-9-]*)", re.M)
failures = []


def help_options(text):
    return set(HELP_ENTRY.findall(text)) - {"--help"}


def page_options(text):
    return set(PAGE_ENTRY.findall(text)) - {"--help"}


def roff_text(source):
    """The page's source with font changes and escaped hyphens undone."""
    text = source.read_text(encoding="utf-8")
    text = re.sub(r"\\f(\[[A-Z]*\]|[A-Z])", "", text)
    return text.replace("\\-", "-").replace("\\&", "")


def sections(text):
    """The text of each .SS section, by its title."""
    found, title, lines = {}, None, []
    for line in text.splitlines():
        if line.startswith(".SS ") or line.startswith(".SH "):
            if title is not None:
                found[title] = "\n".join(lines)
            title = line[4:].strip().strip('"') if line.startswith(".SS ") else None
            lines = []
        elif title is not None:
            lines.append(line)
    if title is not None:
        found[title] = "\n".join(lines)
    return found


def help_text(*command):
    run = subprocess.run(list(command) + ["--help"], capture_output=True, text=True)
    if run.returncode != 0:
        failures.append(f"{' '.join(command)} --help exits {run.returncode}")
    return run.stdout


def compare(what, page, helped, paged):
    for option in sorted(helped - paged):
        failures.append(f"{page}: {what}: {option} is in --help but not in the page")
    for option in sorted(paged - helped):
        failures.append(f"{page}: {what}: {option} is in the page but not in --help")


def main():
    source, lab = Path(sys.argv[1]), sys.argv[2]
    usage = help_text(lab)
    commands = re.findall(r"^  ([a-z]+) ", usage.split("commands:", 1)[-1], re.M)
    if not commands:
        failures.append("momiru-lab --help lists no commands")
    for page in (source / "man/momiru-lab.6", source / "man/ja/momiru-lab.6"):
        found = sections(roff_text(page))
        command_sections = {t for t in found if re.fullmatch(r"[a-z]+", t)}
        for extra in sorted(command_sections - set(commands)):
            failures.append(f"{page}: a section for '{extra}', which momiru-lab does not have")
        for command in commands:
            if command not in found:
                failures.append(f"{page}: no section for the command '{command}'")
                continue
            compare(command, page, help_options(help_text(lab, command)), page_options(found[command]))
    if len(sys.argv) > 3:
        game = sys.argv[3]
        helped = help_options(help_text(game))
        for page in (source / "man/momiru-battle.6", source / "man/ja/momiru-battle.6"):
            compare("momiru-battle", page, helped, page_options(roff_text(page)))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


sys.exit(main())
