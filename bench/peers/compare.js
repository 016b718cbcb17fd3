#!/usr/bin/env node
// Times the contact search side by side with two JavaScript pinyin matchers,
// pinyin-match and pinyin-pro (its `match`), on the same generated contacts
// and the same keys, and prints the time per key per 100,000 contacts for
// each, with the ratios, all from one run.
//
// Every matcher does the same work: for each contact, try the name, the
// English name and the phone in that order; the first field that matches
// ends the contact. Our side is `wrenutil search KEY --contacts FILE
// --limit N --repeat R`, which reports the median of R searches (loading the
// file is not timed).
//
// Usage: node compare.js [--wrenutil PATH] [--count N] [--repeat R]
//   PATH defaults to ../../build/apps/wrenutil/wrenutil.

'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');
const PinyinMatch = require('pinyin-match');
const { match: pinyinProMatch } = require('pinyin-pro');

function option(name, fallback) {
  const i = process.argv.indexOf(name);
  return i > 0 && i + 1 < process.argv.length ? process.argv[i + 1] : fallback;
}
const wrenutil = option('--wrenutil',
    path.join(__dirname, '..', '..', 'build', 'apps', 'wrenutil', 'wrenutil'));
const count = Number(option('--count', '100000'));
const repeat = Number(option('--repeat', '5'));

// The contacts: the same list for the same count on every run.
const surnames = [
  ['张', 'Zhang'], ['王', 'Wang'], ['李', 'Li'], ['赵', 'Zhao'], ['刘', 'Liu'],
  ['陈', 'Chen'], ['杨', 'Yang'], ['黄', 'Huang'], ['周', 'Zhou'], ['吴', 'Wu'],
  ['徐', 'Xu'], ['孙', 'Sun'], ['马', 'Ma'], ['朱', 'Zhu'], ['胡', 'Hu'],
  ['郭', 'Guo'], ['何', 'He'], ['高', 'Gao'], ['林', 'Lin'], ['罗', 'Luo'],
  ['郑', 'Zheng'], ['梁', 'Liang'], ['谢', 'Xie'], ['宋', 'Song'], ['唐', 'Tang'],
  ['许', 'Xu'], ['韩', 'Han'], ['冯', 'Feng'], ['邓', 'Deng'], ['曹', 'Cao'],
  ['曾', 'Zeng'], ['彭', 'Peng'], ['萧', 'Xiao'], ['蔡', 'Cai'], ['潘', 'Pan'],
  ['田', 'Tian'], ['董', 'Dong'], ['袁', 'Yuan'], ['于', 'Yu'], ['余', 'Yu']];
const given = Array.from('伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华玉萍红文辉建国晓鹏飞宇浩婷雪琳欣');
const firstNames = ['David', 'Emma', 'Michael', 'Olivia', 'James', 'Sophia',
  'Daniel', 'Grace', 'Kevin', 'Lucy', 'Peter', 'Anna', 'Tony', 'Helen', 'Jason',
  'Linda', 'Eric', 'Amy', 'Frank', 'Cindy'];

function makeContacts(n) {
  let seed = 20261205;
  const next = () => {  // xorshift32
    seed ^= seed << 13; seed >>>= 0;
    seed ^= seed >>> 17;
    seed ^= seed << 5; seed >>>= 0;
    return seed;
  };
  const pick = (list) => list[next() % list.length];
  const out = [];
  for (let i = 0; i < n; ++i) {
    const [surname, spelled] = pick(surnames);
    let name = surname + pick(given);
    if (next() % 2) name += pick(given);
    out.push({
      dwUin: 100000 + i,
      strName: name,
      strEnglishName: pick(firstNames) + ' ' + spelled,
      strMobile: '13' + (next() % 10) + String(10000000 + next() % 90000000),
    });
  }
  return out;
}

const keys = [
  ['chinese', '明'], ['full_pinyin', 'zhangwei'], ['initials', 'zw'],
  ['pinyin_prefix', 'zhangw'], ['mixed', '张w'], ['digits', '1380'],
  ['latin', 'david'],
];
const fields = ['strName', 'strEnglishName', 'strMobile'];

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

// Median milliseconds of `repeat` full scans with `matches(text, key)`.
function timePeer(contacts, key, matches) {
  const times = [];
  let hits = 0;
  for (let r = 0; r < repeat; ++r) {
    const start = process.hrtime.bigint();
    hits = 0;
    for (const c of contacts) {
      for (const f of fields) {
        const text = c[f];
        if (text && matches(text, key)) { ++hits; break; }
      }
    }
    times.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  return { ms: median(times), hits };
}

function timeOurs(file, key) {
  const run = spawnSync(wrenutil, ['search', key, '--contacts', file,
    '--fields', fields.join(','), '--limit', String(count),
    '--repeat', String(repeat)], { encoding: 'utf8', maxBuffer: 1 << 30 });
  const m = /median ([0-9.]+) ms over \d+ runs, \d+ records, (\d+) hits/
      .exec(run.stderr || '');
  if (run.status !== 0 || !m) {
    throw new Error(`wrenutil search ${key} failed: ${run.stderr || run.error}`);
  }
  return { ms: Number(m[1]), hits: Number(m[2]) };
}

function main() {
  const contacts = makeContacts(count);
  const file = path.join(os.tmpdir(), `wrenutil-peers-${process.pid}.json`);
  fs.writeFileSync(file, JSON.stringify(contacts));
  const per100k = (ms) => ms * 100000 / count;
  const fmt = (x) => x.toFixed(2).padStart(9);
  console.log(`${count} contacts, median of ${repeat} runs, ms per key per 100,000 contacts`);
  console.log('key             ours(hits)        pinyin-match(hits)  pinyin-pro(hits)    faster peer / ours');
  try {
    for (const [kind, key] of keys) {
      const ours = timeOurs(file, key);
      const pm = timePeer(contacts, key, (t, k) => PinyinMatch.match(t, k) !== false);
      const pp = timePeer(contacts, key, (t, k) => pinyinProMatch(t, k) != null);
      const faster = Math.min(pm.ms, pp.ms);
      console.log(`${kind.padEnd(14)}${fmt(per100k(ours.ms))} (${String(ours.hits).padStart(6)})` +
          `${fmt(per100k(pm.ms))} (${String(pm.hits).padStart(6)})` +
          `${fmt(per100k(pp.ms))} (${String(pp.hits).padStart(6)})` +
          `${(faster / ours.ms).toFixed(1).padStart(10)}x`);
    }
  } finally {
    fs.unlinkSync(file);
  }
}

main();
