// For each amount on standard input ("1234.56"), one line: the amount in
// financial capitals by nzh, a tab, and the cheque's words by number-to-words,
// written as a cheque wants them ("One Thousand Two Hundred Thirty Four and 56/100").
// Usage: node amounts.mjs NODE_MODULES_FOLDER < amounts
import { createRequire } from "node:module";
import { readFileSync } from "node:fs";
import path from "node:path";

const require = createRequire(path.join(process.argv[2], "node_modules", "x.js"));
const Nzh = require("nzh");
const numberToWords = require("number-to-words");

for (const amount of readFileSync(0, "utf8").split("\n").filter((line) => line !== "")) {
  const [whole, fraction = ""] = amount.split(".");
  // nzh leaves out 整 when the amount is written with zero decimals
  // ("30001.00"): it is given the amount without them.
  const plain = fraction.replace(/0+$/, "") === "" ? whole : `${whole}.${fraction.replace(/0+$/, "")}`;
  const capitals = Nzh.cn.toMoney(plain, { outSymbol: false });
  const words = numberToWords
    .toWords(Number(whole))
    .replace(/,/g, "")
    .split(/[ -]/)
    .map((word) => word[0].toUpperCase() + word.slice(1))
    .join(" ");
  const cents = `${fraction}00`.slice(0, 2);
  console.log(`${capitals}\t${words} and ${cents}/100`);
}
