#!/usr/bin/env python3
"""What velk-host watch costs, on the real smart-card stack (the test lab: a
private pcscd, vpcd readers, a virtual card OpenSC reads; needs root).

    bench/watch_bench.py VELK-HOST [--idle-minutes M] [--cycles N] [--restarts R]

Prints, one per line:
  idle          over M minutes with a card in a reader and no event: the agent's
                voluntary context switches (all its threads) and the commands the
                card received
  memory        idle resident size vs `velk-host list`'s peak; resident size and
                open descriptors before and after N insert/remove cycles
  insertion     insertion to history written, median of 20 (a new certificate each
                time), vs `pkcs11-tool -O` listing the same card, median of 20
  restart       R pcscd restarts, a new card put in right after each: insertions
                missed, and the median time from the restart to that card's record
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests"))
sys.path.insert(0, os.path.join(here, "..", "tests", "support"))
import pcsc_lab  # noqa: E402
from velk_host_watch import Agent, certificate, wait_for  # noqa: E402


def threads_switches(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status") as f:
            total += sum(int(line.split()[1]) for line in f if line.startswith("voluntary_ctxt_switches"))
    return total


def status_kib(pid, field):
    with open(f"/proc/{pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith(field + ":"))


def fds(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


def history_stamp(agent):
    try:
        info = os.stat(agent.home + "/data/velk/velk.dc_list")
        return info.st_mtime_ns, info.st_size
    except FileNotFoundError:
        return None


def insert_until_recorded(agent, lab, card, timeout=15):
    """Puts `card` in reader 0; the seconds until the history changes, and until pcscd
    reports the card (to a client already waiting for it)."""
    waiter = subprocess.Popen([sys.executable, pcsc_lab.__file__, "wait", lab.reader_name(0), "present",
                               str(timeout)], env=lab.env())
    time.sleep(0.3)  # the waiter blocks in SCardGetStatusChange
    before = history_stamp(agent)
    start = time.monotonic()
    card.insert(lab.port(0))
    seen = recorded = None
    while recorded is None or seen is None:
        now = time.monotonic() - start
        if seen is None and waiter.poll() is not None:
            seen = now
        if recorded is None and history_stamp(agent) != before:
            recorded = now
        if now > timeout:
            waiter.kill()
            raise TimeoutError(f"the card was not recorded: {agent.errors()}")
        time.sleep(0.002)
    return recorded, seen


def take_out(lab, card):
    card.remove()
    lab.wait_card(0, present=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("host")
    parser.add_argument("--idle-minutes", type=float, default=10)
    parser.add_argument("--cycles", type=int, default=1000)
    parser.add_argument("--restarts", type=int, default=100)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as home, pcsc_lab.PcscLab(home) as lab:
        made = iter(certificate(home, f"c{i}", "digitalSignature")
                    for i in range(20 + args.restarts + 1))
        agent = Agent(home, lab.env())
        pid = agent.process.pid
        wait_for(lambda: agent.reminders() == 1, "the reminder at the start")

        card = pcsc_lab.VirtualCard([next(made)])
        card.insert(lab.port(0))
        wait_for(lambda: agent.reminders() == 2, "the reminder after the card")
        time.sleep(2)  # the reminder's child gone, pcscd settled
        switches, commands = threads_switches(pid), card.commands
        time.sleep(args.idle_minutes * 60)
        print(f"idle          {args.idle_minutes:g} min, a card in the reader: "
              f"{threads_switches(pid) - switches} voluntary context switches, "
              f"{card.commands - commands} commands to the card")

        idle_rss = status_kib(pid, "VmRSS")
        listed = subprocess.run(["/usr/bin/time", "-f", "%M", args.host, "list"], env=agent.env,
                                capture_output=True, text=True, check=True)
        list_peak = int(listed.stderr.strip().splitlines()[-1])
        take_out(lab, card)
        rss, descriptors = status_kib(pid, "VmRSS"), fds(pid)
        for _ in range(args.cycles):
            reminders = agent.reminders()
            card.insert(lab.port(0))
            wait_for(lambda: agent.reminders() > reminders, "the card read")
            take_out(lab, card)
        wait_for(lambda: agent.reminders() == reminders + 1, "the last reminder")
        print(f"memory        idle RSS {idle_rss} KiB, velk-host list peak {list_peak} KiB; "
              f"over {args.cycles} insert/remove cycles RSS {rss} -> {status_kib(pid, 'VmRSS')} KiB, "
              f"open fds {descriptors} -> {fds(pid)}")

        latencies, detections = [], []
        for _ in range(20):
            fresh = pcsc_lab.VirtualCard([next(made)])
            reminders = agent.reminders()
            recorded, seen = insert_until_recorded(agent, lab, fresh)
            latencies.append(recorded)
            detections.append(seen)
            wait_for(lambda: agent.reminders() > reminders,
                     f"the reminder after the card ({reminders} before, {agent.reminders()} now, "
                     f"{agent.errors()})")
            take_out(lab, fresh)
        card.insert(lab.port(0))
        lab.wait_card(0, present=True)
        listing = []
        for _ in range(20):
            start = time.monotonic()
            subprocess.run(["pkcs11-tool", "-O"], env=lab.env(), capture_output=True, check=True)
            listing.append(time.monotonic() - start)
        take_out(lab, card)
        print(f"insertion     to history written, median of 20: {statistics.median(latencies) * 1000:.0f} ms, "
              f"of which pcscd seeing the card {statistics.median(detections) * 1000:.0f} ms "
              f"(its poll of the virtual reader); pkcs11-tool -O on the same card, median of 20: "
              f"{statistics.median(listing) * 1000:.0f} ms")

        missed, restarting, after = 0, [], []
        for _ in range(args.restarts):
            fresh = pcsc_lab.VirtualCard([next(made)])
            start = time.monotonic()
            lab.restart()
            restarting.append(time.monotonic() - start)
            try:
                after.append(insert_until_recorded(agent, lab, fresh, timeout=10)[0])
            except TimeoutError:
                missed += 1
            take_out(lab, fresh)
        print(f"restart       {args.restarts} pcscd restarts (each {statistics.median(restarting) * 1000:.0f} ms "
              f"until pcscd lists its readers again), a new card put in at once after each: "
              f"{missed} missed, insertion to history written median {statistics.median(after) * 1000:.0f} ms, "
              f"slowest {max(after) * 1000:.0f} ms")
        agent.stop()


if __name__ == "__main__":
    try:
        main()
    except pcsc_lab.Skip as reason:
        print(f"skipped: {reason}")
        sys.exit(77)
    finally:
        for process in Agent.started:
            if process.poll() is None:
                process.kill()
