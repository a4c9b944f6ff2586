#!/usr/bin/env node
// Validates glTF files (.glb, .gltf with their files beside them) with the Khronos glTF
// validator. Arguments: files, or folders whose .glb/.gltf files are all checked.
// Prints every error and warning; exits 1 when there is any (or no file at all), else 0.
'use strict';

const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

function filesOf(args) {
  const files = [];
  for (const arg of args) {
    if (fs.statSync(arg).isDirectory()) {
      for (const name of fs.readdirSync(arg).sort()) {
        if (/\.(glb|gltf)$/i.test(name)) files.push(path.join(arg, name));
      }
    } else {
      files.push(arg);
    }
  }
  return files;
}

async function validate(file) {
  const folder = path.dirname(file);
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        fs.readFile(path.join(folder, decodeURIComponent(uri)), (err, data) =>
          err ? reject(err.toString()) : resolve(new Uint8Array(data)));
      }),
  });
  const serious = report.issues.messages.filter((m) => m.severity <= 1);
  for (const m of serious) {
    const kind = m.severity === 0 ? 'error' : 'warning';
    console.log(`${file}: ${kind} ${m.code} at ${m.pointer || m.offset || ''}: ${m.message}`);
  }
  return report.issues.numErrors + report.issues.numWarnings;
}

async function main() {
  const files = filesOf(process.argv.slice(2));
  if (files.length === 0) {
    console.log('no .glb or .gltf file to validate');
    return 1;
  }
  let problems = 0;
  for (const file of files) {
    try {
      problems += await validate(file);
    } catch (e) {
      console.log(`${file}: could not be validated: ${e}`);
      problems += 1;
    }
  }
  console.log(`${files.length} file(s) validated, ${problems} error(s) and warning(s)`);
  return problems === 0 ? 0 : 1;
}

main().then((code) => process.exit(code));
